// An import of thousands of rows in the window: the screen follows it at a person's pace, the run
// can be stopped half way from "退出" or by closing the window, and a new run starts clean.
#include "app/main_window.h"
#include "app/pub_dm.h"
#include "app_test_support.h"
#include "run_fixture.h"
#include "text/errors.h"
#include "text/translations.h"

#include <QFile>
#include <QProgressBar>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTranslator>
#include <gtest/gtest.h>

namespace kestrel {
namespace {

const QString kDone = QStringLiteral("充值卡执行完毕!");

QString chip(int row) {
    return QStringLiteral("C%1").arg(row, 6, 10, QLatin1Char('0'));
}

// Counts the paint events a widget gets.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// The window on the branch schema, its stored-value template made of `rows` good rows.
class WindowRun : public ::testing::Test {
protected:
    void SetUp() override {
        const QString db = dir.filePath(QStringLiteral("branch.db"));
        test::createSqliteFile(
            db, test::storedValueSchema(test::SchemaFlavour::Branch) +
                    QStringList{QStringLiteral("INSERT INTO Sys_System (HotelID, HotelTreeID, "
                                               "HotelName) VALUES ('01', '0001', '青雁一店')")});
        dm = std::make_unique<TPubDM>(
            test::writeSqliteSettings(dir.path(), QStringLiteral("branch.db")),
            [](const QString&) { return TPubDM::kResultClose; });
        ASSERT_TRUE(dm->ConnectOK);
        window = std::make_unique<TFrmBk_DataOutPut>(*dm);
        window->setTemplateFolder(dir.path());
        window->setWorkbookOpener([this](const QString& path) -> std::unique_ptr<Workbook> {
            if (rows < 0)
                throw WorkbookError(QStringLiteral("missing ") + path);
            auto book = std::make_unique<test::MemoryWorkbook>(path);
            book->appendTextRow(1, test::storedValueHeader());
            for (int row = 2; row <= rows + 1; ++row)
                book->appendTextRow(1, test::storedValueRow(chip(row)));
            return book;
        });
        window->show();
    }

    QToolButton* button(const char* name) const {
        return window->findChild<QToolButton*>(QString::fromLatin1(name));
    }
    int members() const {
        const QString name = QStringLiteral("window-run-count");
        int count = -1;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(dir.filePath(QStringLiteral("branch.db")));
            QSqlQuery query(db);
            if (db.open() && query.exec(QStringLiteral("SELECT COUNT(*) FROM HY_Member")) &&
                query.next())
                count = query.value(0).toInt();
        }
        QSqlDatabase::removeDatabase(name);
        return count;
    }
    // Calls action once, on the window's thread, when the caption first shows a row of the
    // import pass (the bar went back from the end of the checking pass).
    void atImportPass(std::function<void()> action) {
        auto checked = std::make_shared<bool>(false);
        auto importing = std::make_shared<bool>(false);
        auto done = std::make_shared<bool>(false);
        QProgressBar* bar = window->PrgBar;
        connections.append(QObject::connect(bar, &QProgressBar::valueChanged, [=](int value) {
            if (value > 1 && value == bar->maximum())
                *checked = true;
            else if (*checked)
                *importing = true;
        }));
        connections.append(
            QObject::connect(window.get(), &QWidget::windowTitleChanged, [=](const QString& title) {
                if (*done || !*importing || !title.startsWith(QStringLiteral("当前第")))
                    return;
                *done = true;
                action();
            }));
    }
    void TearDown() override {
        for (const QMetaObject::Connection& connection : std::as_const(connections))
            QObject::disconnect(connection);
    }

    QTemporaryDir dir;
    int rows = 0; // -1: the template cannot be opened
    QList<QMetaObject::Connection> connections;
    std::unique_ptr<TPubDM> dm;
    std::unique_ptr<TFrmBk_DataOutPut> window;
};

TEST_F(WindowRun, ThousandsOfRowsRepaintAtAPersonsPaceAndEndOnTheLastRow) {
    rows = 5000;
    int captions = 0;
    QObject::connect(window.get(), &QWidget::windowTitleChanged, [&] { ++captions; });
    QList<int> positions;
    QObject::connect(window->PrgBar, &QProgressBar::valueChanged,
                     [&](int value) { positions.append(value); });
    PaintCounter barPaints(window->PrgBar);
    test::MessageBoxCatcher boxes;

    button("btnStart")->click();

    ASSERT_EQ(boxes.boxes.size(), 1);
    EXPECT_EQ(boxes.boxes.front().text, kDone);
    EXPECT_EQ(members(), rows);
    // Two passes of 5,000 rows each: far fewer screen changes than rows.
    EXPECT_GE(captions, 2);
    EXPECT_LE(captions, 2 * rows / 20);
    EXPECT_GE(barPaints.paints, 1);
    EXPECT_LE(barPaints.paints, 2 * rows / 20);
    // Each pass ends on its last row on screen.
    EXPECT_EQ(positions.count(rows + 1), 2) << positions.size();
    EXPECT_EQ(window->windowTitle(),
              QStringLiteral("当前第%1记录,卡芯号：%2").arg(rows).arg(chip(rows + 1)));
    EXPECT_EQ(window->PrgBar->value(), window->PrgBar->maximum());
    EXPECT_EQ(window->PrgBar->maximum(), rows + 1);
    EXPECT_FALSE(window->isBusy());
}

TEST_F(WindowRun, ExitStopsTheRunHalfWayAndTheNextImportRuns) {
    rows = 20000;
    test::MessageBoxCatcher boxes;
    boxes.answer = QMessageBox::Yes;
    bool exitEnabled = false;
    atImportPass([&] {
        exitEnabled = button("btnEnd")->isEnabled() && !button("btnStart")->isEnabled();
        button("btnEnd")->click();
    });

    button("btnStart")->click();

    EXPECT_TRUE(exitEnabled);
    ASSERT_EQ(boxes.boxes.size(), 2);
    EXPECT_EQ(boxes.boxes[0].text,
              TFrmBk_DataOutPut::tr("Stop the import? The block being imported will not be "
                                    "written to the database."));
    EXPECT_EQ(boxes.boxes[0].buttons.size(), 2);
    EXPECT_EQ(boxes.boxes[1].text,
              TFrmBk_DataOutPut::tr("The import was stopped. The block being imported was not "
                                    "written to the database."));
    EXPECT_EQ(members(), 0);
    EXPECT_TRUE(window->windowTitle().startsWith(QStringLiteral("当前第")));
    EXPECT_LT(window->PrgBar->value(), window->PrgBar->maximum());
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isBusy());

    rows = 3;
    boxes.boxes.clear();
    button("btnStart")->click();
    ASSERT_EQ(boxes.boxes.size(), 1);
    EXPECT_EQ(boxes.boxes.front().text, kDone);
    EXPECT_EQ(members(), 3);

    // The import log tells both: the stopped block with nothing written.
    QFile log(dir.filePath(QStringLiteral("导入记录.txt")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(text.contains(
        QStringLiteral("结果：操作员停止，本批未写入\r\n检查行数：20000\r\n写入行数：0（")));
    EXPECT_TRUE(text.contains(QStringLiteral("结果：完成\r\n检查行数：3\r\n写入行数：3（")));
}

// Closing the window during a run asks first: 是 stops the run and closes the window once it
// has stopped, 否 lets the run complete.
TEST_F(WindowRun, ClosingDuringARunAsksToStopFirst) {
    rows = 20000;
    for (const bool stop : {true, false}) {
        SCOPED_TRACE(stop);
        window->show();
        test::MessageBoxCatcher boxes;
        boxes.answer = stop ? QMessageBox::Yes : QMessageBox::No;
        atImportPass([&] { window->close(); });
        button("btnStart")->click();
        TearDown();
        ASSERT_EQ(boxes.boxes.size(), 2);
        EXPECT_EQ(boxes.boxes.front().icon, QMessageBox::Question);
        EXPECT_EQ(boxes.boxes.back().text == kDone, !stop);
        EXPECT_EQ(window->isVisible(), !stop);
        EXPECT_EQ(members(), stop ? 0 : rows);
    }
}

// The click shows at once that the run starts, with nothing of the last run left on screen; a
// run that fails before its first row leaves the window's own caption and an empty bar.
TEST_F(WindowRun, ARunStartsCleanAndAnEarlyFailureLeavesNoOldProgress) {
    rows = 10;
    {
        test::MessageBoxCatcher done;
        button("btnStart")->click();
    }
    ASSERT_EQ(window->PrgBar->value(), 11);

    rows = -1;
    QString captionAtError;
    int barAtError = -1;
    bool buttonAtError = true;
    test::WhenModal<QMessageBox> error([&](QMessageBox* box) {
        captionAtError = window->windowTitle();
        barAtError = window->PrgBar->value();
        buttonAtError = button("btnStart")->isEnabled();
        box->accept();
    });
    button("btnStart")->click();
    ASSERT_EQ(error.count, 1);
    EXPECT_EQ(captionAtError, TFrmBk_DataOutPut::tr("Starting the import…"));
    EXPECT_EQ(barAtError, 0);
    EXPECT_FALSE(buttonAtError);
    EXPECT_EQ(window->windowTitle(),
              QStringLiteral("青雁软件 换第三方软件就这么简单---导入到分店数据库"));
    EXPECT_EQ(window->PrgBar->value(), 0);
    EXPECT_TRUE(button("btnStart")->isEnabled());
}

// Under a Chinese locale the tool's own explanation of a fault reaches the window in Chinese; while
// the run waits for another program's lock the caption says that the import is starting.
TEST_F(WindowRun, ABusyDatabaseIsExplainedInChineseUnderAChineseLocale) {
    std::unique_ptr<QTranslator> chinese(
        installKestrelTranslations(QLocale(QLocale::Chinese, QLocale::China)));
    ASSERT_NE(chinese, nullptr);
    rows = 10;
    const QString name = QStringLiteral("window-run-lock");
    QString caption;
    QString text;
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        other.setDatabaseName(dir.filePath(QStringLiteral("branch.db")));
        ASSERT_TRUE(other.open());
        QSqlQuery(other).exec(QStringLiteral("BEGIN IMMEDIATE"));
        test::WhenModal<QMessageBox> error([&](QMessageBox* box) {
            caption = window->windowTitle();
            text = box->text();
            box->accept();
        });
        button("btnStart")->click();
        QSqlQuery(other).exec(QStringLiteral("ROLLBACK"));
    }
    QSqlDatabase::removeDatabase(name);
    QCoreApplication::removeTranslator(chinese.get());
    EXPECT_TRUE(text.startsWith(QStringLiteral("数据库正忙："))) << text.toStdString();
    EXPECT_EQ(caption, QStringLiteral("正在开始导入……"));
    EXPECT_EQ(members(), 0);
}

} // namespace
} // namespace kestrel
