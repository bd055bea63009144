#include "app/db_config_dialog.h"
#include "app/pub_dm.h"
#include "app_test_support.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kestrel {
namespace {

using test::createSqliteFile;
using test::writeSqliteSettings;

class StartupLoop : public ::testing::Test {
protected:
    void SetUp() override {
        createSqliteFile(dir.filePath(QStringLiteral("branch.db")),
                         {QStringLiteral("CREATE TABLE Sys_System (HotelID int)")});
    }
    QTemporaryDir dir;
};

TEST_F(StartupLoop, WorkingSettingsConnectWithoutShowingTheDialog) {
    const QString settings = writeSqliteSettings(dir.path(), QStringLiteral("branch.db"));
    int shown = 0;
    TPubDM dm(settings, [&](const QString&) { return ++shown, TPubDM::kResultClose; });
    EXPECT_TRUE(dm.ConnectOK);
    EXPECT_EQ(shown, 0);
    EXPECT_TRUE(dm.AdoConn().tableExists(QStringLiteral("Sys_System")));
}

TEST_F(StartupLoop, OkRetriesWithTheSettingsTheDialogJustSaved) {
    const QString settings = writeSqliteSettings(dir.path(), QStringLiteral("missing.db"));
    QStringList seenPaths;
    TPubDM dm(settings, [&](const QString& path) {
        seenPaths.append(path);
        if (seenPaths.size() == 3) // the operator finally types the right name
            SettingsFile(path).write(QStringLiteral("Kestrel"), QStringLiteral("dbname"),
                                     QStringLiteral("branch.db"));
        return TPubDM::kResultApply;
    });
    EXPECT_TRUE(dm.ConnectOK);
    EXPECT_EQ(seenPaths, QStringList(3, settings));
}

TEST_F(StartupLoop, CloseEndsTheLoopWithConnectOkFalse) {
    const QString settings = writeSqliteSettings(dir.path(), QStringLiteral("missing.db"));
    int shown = 0;
    TPubDM dm(settings, [&](const QString&) {
        return ++shown < 3 ? TPubDM::kResultApply : TPubDM::kResultClose;
    });
    EXPECT_FALSE(dm.ConnectOK);
    EXPECT_EQ(shown, 3);
}

TEST_F(StartupLoop, EscapeOnTheRealDialogCountsAsClose) {
    const QString settings = writeSqliteSettings(dir.path(), QStringLiteral("missing.db"));
    test::WhenModal<TFrmPub_UntDBconfig> pressEscape([](TFrmPub_UntDBconfig* dialog) {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(dialog, &escape);
    });
    TPubDM dm(settings, execConfigDialog);
    EXPECT_FALSE(dm.ConnectOK);
    EXPECT_EQ(pressEscape.count, 1);
}

TEST_F(StartupLoop, OkOnTheRealDialogSavesAndConnects) {
    const QString settings = writeSqliteSettings(dir.path(), QStringLiteral("missing.db"));
    test::WhenModal<TFrmPub_UntDBconfig> typeAndApply([](TFrmPub_UntDBconfig* dialog) {
        dialog->edtDBName->setText(QStringLiteral("branch.db"));
        dialog->findChild<QPushButton*>(QStringLiteral("btnapply"))->click();
    });
    TPubDM dm(settings, execConfigDialog);
    EXPECT_TRUE(dm.ConnectOK);
    EXPECT_EQ(typeAndApply.count, 1);
}

// A real failed SQL Server attempt through the ODBC driver leads to the dialog.
TEST_F(StartupLoop, FailedSqlServerAttemptShowsTheDialog) {
    const QString settings = settingsFilePath(dir.path());
    SettingsFile(settings).write(QStringLiteral("Kestrel"), QStringLiteral("dbserver"),
                                 QStringLiteral("127.0.0.1,1"));
    int shown = 0;
    TPubDM dm(settings, [&](const QString&) { return ++shown, TPubDM::kResultClose; });
    EXPECT_FALSE(dm.ConnectOK);
    EXPECT_EQ(shown, 1);
}

} // namespace
} // namespace kestrel
