#include "app/main_window.h"
#include "app/pub_dm.h"
#include "app_test_support.h"
#include "text/errors.h"

#include <QEventLoop>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QThread>
#include <QToolButton>
#include <gtest/gtest.h>
#include <memory>

namespace kestrel {
namespace {

const char* const kImportButtons[] = {"btnStart",     "SpeedButton1", "SpeedButton2",
                                      "SpeedButton3", "SpeedButton4", "SpeedButton5",
                                      "SpeedButton6"};

class MainWindow : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::unique_ptr<TPubDM> dm;
    std::unique_ptr<TFrmBk_DataOutPut> window;

    // Opens a branch database made of these statements and shows the window on it.
    void show(const QStringList& statements) {
        test::createSqliteFile(dir.filePath(QStringLiteral("branch.db")),
                               QStringList{QStringLiteral("CREATE TABLE Other (x int)")} +
                                   statements);
        const QString settings = test::writeSqliteSettings(dir.path(), QStringLiteral("branch.db"));
        dm = std::make_unique<TPubDM>(settings, [](const QString&) {
            ADD_FAILURE() << "the settings dialog was shown";
            return TPubDM::kResultClose;
        });
        ASSERT_TRUE(dm->ConnectOK);
        window = std::make_unique<TFrmBk_DataOutPut>(*dm);
        window->show();
    }
    QStringList identityTexts() const {
        return {window->EdtHotelTreeID->text(), window->EdtHotelID->text(),
                window->EdtHotelName->text()};
    }
    bool identityReadOnly() const {
        return window->EdtHotelTreeID->isReadOnly() && window->EdtHotelID->isReadOnly() &&
               window->EdtHotelName->isReadOnly();
    }
    bool identityEditable() const {
        return !window->EdtHotelTreeID->isReadOnly() && !window->EdtHotelID->isReadOnly() &&
               !window->EdtHotelName->isReadOnly();
    }
    QToolButton* button(const char* name) const {
        return window->findChild<QToolButton*>(QString::fromLatin1(name));
    }
};

const QString kCreateSystem = QStringLiteral(
    "CREATE TABLE Sys_System (HotelID int, HotelTreeID varchar(20), HotelName varchar(50))");

TEST_F(MainWindow, WithoutSystemTableTheIdentityStaysEmptyAndEditable) {
    show({});
    EXPECT_EQ(identityTexts(), QStringList(3, QString()));
    EXPECT_TRUE(identityEditable());
}

TEST_F(MainWindow, EmptySystemTableLocksEmptyIdentity) {
    show({kCreateSystem});
    EXPECT_EQ(identityTexts(), QStringList(3, QString()));
    EXPECT_TRUE(identityReadOnly());
}

TEST_F(MainWindow, FirstRowOfSystemTableIsShownAndLockedNumbersAsText) {
    show({kCreateSystem, QStringLiteral("INSERT INTO Sys_System VALUES (12, 'T01', '青雁一店')"),
          QStringLiteral("INSERT INTO Sys_System VALUES (13, 'T02', '青雁二店')")});
    EXPECT_EQ(identityTexts(), (QStringList{QStringLiteral("T01"), QStringLiteral("12"),
                                            QStringLiteral("青雁一店")}));
    EXPECT_TRUE(identityReadOnly());
}

TEST_F(MainWindow, DatabaseErrorWhenShownGoesToTheErrorBoxAndTheWindowStillShows) {
    test::MessageBoxCatcher boxes;
    show({QStringLiteral("CREATE TABLE Sys_System (HotelID int, HotelName varchar(50))")});
    ASSERT_EQ(boxes.boxes.size(), 1);
    EXPECT_EQ(boxes.boxes.front().title, QStringLiteral("换第三方软件"));
    EXPECT_EQ(boxes.boxes.front().icon, QMessageBox::Critical);
    EXPECT_FALSE(boxes.boxes.front().text.isEmpty());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(identityEditable());
}

TEST_F(MainWindow, LooksAsDesigned) {
    show({});
    EXPECT_EQ(window->windowTitle(),
              QStringLiteral("青雁软件 换第三方软件就这么简单---导入到分店数据库"));
    EXPECT_EQ(window->size(), QSize(616, 397));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowSystemMenuHint));
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowTitleHint));
    EXPECT_EQ(window->palette().color(QPalette::Window), QColor(90, 231, 125));
    EXPECT_EQ(window->EdtHotelName->geometry(), QRect(94, 90, 307, 27));
    EXPECT_EQ(button("SpeedButton4")->geometry(), QRect(241, 240, 137, 50));
    EXPECT_EQ(button("SpeedButton4")->text(), QStringLiteral("沐足洗浴项目导入"));
    EXPECT_EQ(button("btnEnd")->geometry(), QRect(392, 300, 90, 49));
    EXPECT_EQ(button("btnStart")->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(window->PrgBar->geometry(), QRect(0, 368, 616, 29));
    EXPECT_EQ(window->StaticTextHint->geometry(), QRect(0, 364, 616, 4));
    EXPECT_EQ(window->EdtHotelID->font().pixelSize(), 19);
    EXPECT_TRUE(window->EdtHotelID->font().bold());
    EXPECT_TRUE(QFontMetrics(button("btnStart")->font()).inFont(QChar(0x5145))); // 充
}

TEST_F(MainWindow, ButtonWithoutImportSaysSoAndWiredButtonRunsItsImport) {
    show({});
    test::MessageBoxCatcher boxes;
    window->setImportAction(ImportKind::Employees, {});
    button("SpeedButton5")->click();
    ASSERT_EQ(boxes.boxes.size(), 1);
    EXPECT_EQ(boxes.boxes.front().title, QStringLiteral("换第三方软件"));
    EXPECT_EQ(boxes.boxes.front().text, TFrmBk_DataOutPut::tr("This import is not available"));

    int runs = 0;
    window->setImportAction(ImportKind::Employees, [&] { ++runs; });
    window->setImportAction(ImportKind::Points,
                            [] { throw DatabaseError(QStringLiteral("断开")); });
    button("SpeedButton5")->click();
    button("SpeedButton1")->click();
    EXPECT_EQ(runs, 1);
    ASSERT_EQ(boxes.boxes.size(), 2);
    EXPECT_EQ(boxes.boxes.back().text, QStringLiteral("断开"));
    EXPECT_EQ(boxes.boxes.back().icon, QMessageBox::Critical);
}

TEST_F(MainWindow, BusyDisablesTheButtonsAndRefusesToClose) {
    show({});
    window->setBusy(true);
    for (const char* name : kImportButtons)
        EXPECT_FALSE(button(name)->isEnabled()) << name;
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    window->setBusy(false);
    EXPECT_TRUE(button("btnStart")->isEnabled());
    button("btnEnd")->click();
    EXPECT_FALSE(window->isVisible());
}

// An import running on another thread reports through the window; the reports wait for the
// window's thread and arrive in order.
TEST_F(MainWindow, ObserverWorksFromAnotherThread) {
    show({});
    test::MessageBoxCatcher boxes;
    RunObserver& observer = *window;
    std::unique_ptr<QThread> worker(QThread::create([&observer] {
        observer.progressReset(10);
        observer.progressChanged(7);
        observer.captionChanged(QStringLiteral("当前第1记录,卡芯号：A1"));
        observer.identityTrimmed({QStringLiteral("T"), QStringLiteral("1"), QStringLiteral("店")});
        observer.information(QStringLiteral("充值卡执行完毕!"));
    }));
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec();
    worker->wait();
    EXPECT_EQ(window->PrgBar->maximum(), 10);
    EXPECT_EQ(window->PrgBar->value(), 7);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("当前第1记录,卡芯号：A1"));
    EXPECT_EQ(identityTexts(),
              (QStringList{QStringLiteral("T"), QStringLiteral("1"), QStringLiteral("店")}));
    ASSERT_EQ(boxes.boxes.size(), 1);
    EXPECT_EQ(boxes.boxes.front().text, QStringLiteral("充值卡执行完毕!"));
}

} // namespace
} // namespace kestrel
