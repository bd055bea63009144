// One main for every test executable: a QApplication when the test links the window
// (offscreen platform), else a QCoreApplication, so Qt's locale, SQL and event machinery work.
#include <QCoreApplication>
#include <gtest/gtest.h>

#ifdef KESTREL_TEST_WITH_WIDGETS
#include <QApplication>
#endif

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
#ifdef KESTREL_TEST_WITH_WIDGETS
    // Test discovery at build time runs this without CTest's environment: no display needed.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    return RUN_ALL_TESTS();
}
