// The window on the demo branch database: every button runs its import; under a Chinese
// locale Qt's standard buttons are in Chinese.
#include "app/main_window.h"
#include "app/pub_dm.h"
#include "app/ui_support.h"
#include "app_test_support.h"
#include "sqlite_script.h"
#include "test_paths.h"
#include "text/translations.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTranslator>
#include <gtest/gtest.h>

namespace kestrel {
namespace {

// The demo branch: schema/branch.sql with the demo data, the sample templates, Kestrel.ini.
void makeDemoBranch(const QTemporaryDir& dir) {
    const QString name = QStringLiteral("demo-window");
    {
        QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        connection.setDatabaseName(dir.filePath(QStringLiteral("branch.db")));
        ASSERT_TRUE(connection.open());
        sqlscript::runFile(connection, test::sourceDir() + QStringLiteral("/schema/branch.sql"));
        sqlscript::runFile(connection, test::sourceDir() + QStringLiteral("/schema/demo-data.sql"));
        connection.close();
    }
    QSqlDatabase::removeDatabase(name);
    const QDir templates(test::sourceDir() + QStringLiteral("/templates"));
    for (const QString& file : templates.entryList({QStringLiteral("*.xls")}, QDir::Files))
        ASSERT_TRUE(QFile::copy(templates.filePath(file), dir.filePath(file)));
    test::writeSqliteSettings(dir.path(), QStringLiteral("branch.db"));
}

// The window shown on the demo branch.
class DemoWindow : public ::testing::Test {
protected:
    void SetUp() override {
        makeDemoBranch(dir);
        if (HasFatalFailure())
            return;
        dm = std::make_unique<TPubDM>(settingsFilePath(dir.path()),
                                      [](const QString&) { return TPubDM::kResultClose; });
        ASSERT_TRUE(dm->ConnectOK);
        mainWindow = std::make_unique<TFrmBk_DataOutPut>(*dm);
        mainWindow->setTemplateFolder(dir.path());
        mainWindow->show();
    }

    QTemporaryDir dir;
    std::unique_ptr<TPubDM> dm;
    std::unique_ptr<TFrmBk_DataOutPut> mainWindow;
};

TEST_F(DemoWindow, EveryBuiltButtonRunsItsImportToItsCompletionMessages) {
    TFrmBk_DataOutPut& window = *mainWindow;
    ASSERT_FALSE(window.EdtHotelID->text().isEmpty()); // from the demo's Sys_System

    int ran = 0;
    for (const ImportEntry& entry : importRegistry()) {
        QString name = entry.handlerName;
        name.chop(int(qstrlen("Click")));
        auto* button = window.findChild<QToolButton*>(name);
        ASSERT_NE(button, nullptr) << name.toStdString();
        ++ran;
        test::MessageBoxCatcher boxes;
        button->click();
        ASSERT_FALSE(boxes.boxes.isEmpty()) << name.toStdString();
        for (const test::MessageBoxCatcher::Box& box : boxes.boxes) {
            EXPECT_EQ(box.icon, QMessageBox::Information) << box.text.toStdString();
            EXPECT_TRUE(box.text.endsWith(QStringLiteral("执行完毕!"))) << box.text.toStdString();
        }
        if (entry.kind == ImportKind::RoomsLockers || entry.kind == ImportKind::ItemsGoods) {
            EXPECT_EQ(boxes.boxes.size(), 2) << name.toStdString();
        }
        EXPECT_FALSE(window.isBusy());
    }
    EXPECT_EQ(ran, importRegistry().size());
}

// The window's import log against the database: each click appends one section per block; a
// log that cannot be written is said once and the imports still complete.
TEST_F(DemoWindow, ImportLogSectionsAgreeWithTheDatabase) {
    auto* rooms = mainWindow->findChild<QToolButton*>(QStringLiteral("SpeedButton3"));
    ASSERT_NE(rooms, nullptr);
    for (int click = 0; click < 2; ++click) {
        test::MessageBoxCatcher boxes;
        rooms->click();
    }
    QFile log(dir.filePath(QStringLiteral("导入记录.txt")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray bytes = log.readAll();
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const QString text = QString::fromUtf8(bytes);
    const auto numbers = [&text](const QString& label) {
        QList<int> found;
        const QRegularExpression pattern(QStringLiteral("\r\n") + label +
                                         QStringLiteral("：(\\d+)"));
        for (auto match = pattern.globalMatch(text); match.hasNext();)
            found.append(match.next().captured(1).toInt());
        return found;
    };
    const auto rowsOf = [this](const char* table) {
        QSqlQuery query(dm->AdoConn().connection());
        query.exec(QStringLiteral("SELECT COUNT(*) FROM ") + QLatin1String(table));
        return query.next() ? query.value(0).toInt() : -1;
    };
    const int roomRows = rowsOf("SN_RoomDetail");
    const int tagRows = rowsOf("SN_HandBrand");
    EXPECT_EQ(numbers(QStringLiteral("写入行数")), (QList<int>{roomRows, tagRows, 0, 0}));
    EXPECT_EQ(numbers(QStringLiteral("已存在未写入")), (QList<int>{0, 0, roomRows, tagRows}));
    EXPECT_EQ(numbers(QStringLiteral("检查行数")),
              (QList<int>{roomRows, tagRows, roomRows, tagRows}));
    EXPECT_EQ(text.count(QStringLiteral("结果：完成")), 4);
    // The categories listed as created are those in the tables, each once.
    const int categories = rowsOf("CY_DiningRoom") + rowsOf("SN_HandType");
    EXPECT_EQ(text.count(QStringLiteral("  CY_DiningRoom：")) +
                  text.count(QStringLiteral("  SN_HandType：")),
              categories);

    // A folder where the log should be: one box says so, the imports complete all the same.
    log.close();
    ASSERT_TRUE(QFile::remove(log.fileName()));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("导入记录.txt")));
    test::MessageBoxCatcher boxes;
    rooms->click();
    rooms->click();
    QStringList texts;
    for (const test::MessageBoxCatcher::Box& box : boxes.boxes)
        texts.append(box.text);
    ASSERT_EQ(texts.size(), 5) << texts.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(texts.at(1).contains(QStringLiteral("导入记录.txt")));
    EXPECT_EQ(texts.count(QStringLiteral("锁牌房号执行完毕!")), 4);
}

// Removes the translator again, so that other tests see Qt's own texts.
struct InstalledTranslator {
    explicit InstalledTranslator(QTranslator* installed) : translator(installed) {}
    ~InstalledTranslator() {
        if (translator) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
    }
    QTranslator* translator;
};

QStringList informationButtons() {
    test::MessageBoxCatcher boxes;
    showInformation(nullptr, QStringLiteral("锁牌房号执行完毕!"));
    return boxes.boxes.isEmpty() ? QStringList() : boxes.boxes.front().buttons;
}

TEST(QtTranslations, ChineseLocaleGivesChineseStandardButtons) {
    const InstalledTranslator installed(
        installQtTranslations(QLocale(QLocale::Chinese, QLocale::China)));
    ASSERT_NE(installed.translator, nullptr) << "qt6-translations-l10n is not installed";
    EXPECT_EQ(informationButtons(), QStringList{QStringLiteral("确定")});

    // Qt's own texts, without their keyboard mnemonics ("是(&Y)").
    const QDialogButtonBox buttons(QDialogButtonBox::Cancel | QDialogButtonBox::Yes |
                                   QDialogButtonBox::No);
    const auto text = [&buttons](QDialogButtonBox::StandardButton which) {
        return buttons.button(which)->text().remove(
            QRegularExpression(QStringLiteral("\\(&.\\)$")));
    };
    EXPECT_EQ(text(QDialogButtonBox::Cancel), QStringLiteral("取消"));
    EXPECT_EQ(text(QDialogButtonBox::Yes), QStringLiteral("是"));
    EXPECT_EQ(text(QDialogButtonBox::No), QStringLiteral("否"));
}

TEST(QtTranslations, OtherLocalesKeepQtsOwnTexts) {
    for (const QLocale& locale : {QLocale(QLocale::English, QLocale::UnitedStates),
                                  QLocale(QLocale::German, QLocale::Germany)}) {
        const InstalledTranslator installed(installQtTranslations(locale));
        EXPECT_EQ(installed.translator, nullptr) << locale.name().toStdString();
    }
    const QStringList texts = informationButtons();
    ASSERT_EQ(texts.size(), 1);
    EXPECT_EQ(QString(texts.front()).remove(QLatin1Char('&')), QStringLiteral("OK"));
}

} // namespace
} // namespace kestrel
