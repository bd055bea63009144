// A block's record as the window's log section and as kestrel-import's JSON, and the log file
// they are appended to.
#include "run/record_json.h"
#include "run/record_log.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kestrel::test {
namespace {

BlockRecord sampleRecord() {
    BlockRecord record;
    record.importName = QStringLiteral("rooms-lockers");
    record.importCaption = QStringLiteral("锁牌房号导入");
    record.block = 2;
    record.blockCount = 2;
    record.templatePath = QStringLiteral("/branch/青雁锁牌房间资料模板.xls");
    record.worksheet = 2;
    record.worksheetName = QStringLiteral("锁牌");
    record.mainTable = QStringLiteral("SN_HandBrand");
    record.keyField = QStringLiteral("HandBrandSN");
    record.writtenTables = {QStringLiteral("SN_HandBrand")};
    record.database.server = QStringLiteral("SRV\\SQLEXPRESS");
    record.database.name = QStringLiteral("Branch");
    record.branch = {QStringLiteral("T01"), QStringLiteral("0101"), QStringLiteral("青雁一店")};
    record.started = QDateTime(QDate(2024, 2, 28), QTime(13, 4, 5));
    record.rowsChecked = 14;
    record.rowsWritten = 2;
    for (int key = 1; key <= 12; ++key)
        record.keysLeftOut.append(QStringLiteral("T%1").arg(key));
    record.defaults = {{4, QStringLiteral("性别"), QStringLiteral("男宾"), 0, 3},
                       {3, QStringLiteral("名称"), QString(), 2, 1}};
    record.categories = {{QStringLiteral("SN_HandType"),
                          {{QStringLiteral("DR130405123"), QStringLiteral("女宾锁牌")}},
                          {{QStringLiteral("DR1"), QStringLiteral("男宾锁牌")}}}};
    record.checking = {record.started, 12000};
    record.importing = {record.started, 1500000};
    return record;
}

QStringList sectionLines(const BlockRecord& record) {
    return importLogSection(record).split(QStringLiteral("\r\n"));
}

TEST(ImportLogSection, SaysInChineseWhatTheBlockDid) {
    const QStringList lines = sectionLines(sampleRecord());
    const QStringList expected = {
        QStringLiteral("==== 2024-02-28 13:04:05  锁牌房号导入  第2批（共2批） ===="),
        QStringLiteral("模板：") + QDir::toNativeSeparators(QStringLiteral("/branch/")) +
            QStringLiteral("青雁锁牌房间资料模板.xls，工作表 2（锁牌）"),
        QStringLiteral("数据库：服务器 SRV\\SQLEXPRESS，数据库 Branch"),
        QStringLiteral("分店：集团号 T01，分店号 0101，分店名 青雁一店"),
        QStringLiteral("结果：完成"),
        QStringLiteral("检查行数：14"),
        QStringLiteral("写入行数：2（SN_HandBrand）"),
        QStringLiteral("已存在未写入：12 行，HandBrandSN："),
        QStringLiteral("  T1, T2, T3, T4, T5, T6, T7, T8, T9, T10"),
        QStringLiteral("  T11, T12"),
        QStringLiteral("默认值："),
        QStringLiteral("  第4列（性别）：3 格，填入“男宾”"),
        QStringLiteral("  第3列（名称）：1 格，填入第2列的内容"),
        QStringLiteral("新建类别："),
        QStringLiteral("  SN_HandType：DR130405123 女宾锁牌"),
        QStringLiteral("沿用已有类别："),
        QStringLiteral("  SN_HandType：DR1 男宾锁牌"),
        QStringLiteral("检查阶段：2024-02-28 13:04:05 开始，用时 0.012 秒"),
        QStringLiteral("导入阶段：2024-02-28 13:04:05 开始，用时 1.500 秒"),
        QStringLiteral("收尾阶段（清理、类别、提交）：未进行"),
        QString(),
        QString(),
    };
    EXPECT_EQ(lines, expected);
}

TEST(ImportLogSection, NamesEveryOutcome) {
    struct Case {
        BlockOutcome outcome;
        int row;
        QString message;
        QString line;
    };
    const QList<Case> cases = {
        {BlockOutcome::RowCheckFailed, 5, QStringLiteral("第5行的锁牌号不能为空!"),
         QStringLiteral("结果：在第5行停止：第5行的锁牌号不能为空!")},
        {BlockOutcome::Error, 0, QStringLiteral("database is locked %1"),
         QStringLiteral("结果：出错，本批未写入：database is locked %1")},
        {BlockOutcome::Stopped, 0, QString(), QStringLiteral("结果：操作员停止，本批未写入")},
    };
    for (const Case& c : cases) {
        BlockRecord record = sampleRecord();
        record.outcome = c.outcome;
        record.failedRow = c.row;
        record.message = c.message;
        record.database = {QString(), QString(), QStringLiteral("branch.db")};
        record.blockCount = 1;
        const QStringList lines = sectionLines(record);
        EXPECT_EQ(lines.at(0), QStringLiteral("==== 2024-02-28 13:04:05  锁牌房号导入 ===="));
        EXPECT_EQ(lines.at(2), QStringLiteral("数据库：文件 branch.db"));
        EXPECT_EQ(lines.at(4), c.line);
    }
}

TEST(ImportLogFile, IsAppendedWithOneByteOrderMarkAndAFailureIsReportedOnce) {
    QTemporaryDir dir;
    ImportLog log;
    EXPECT_EQ(log.append(dir.path(), sampleRecord()), QString());
    EXPECT_EQ(log.append(dir.path(), sampleRecord()), QString());
    QFile file(dir.filePath(QStringLiteral("导入记录.txt")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const QByteArray section = importLogSection(sampleRecord()).toUtf8();
    EXPECT_EQ(bytes, QByteArray("\xEF\xBB\xBF") + section + section);

    // A folder in the log's place cannot be written: said once, then silently skipped.
    QDir(dir.path()).mkdir(QStringLiteral("blocked"));
    QDir(dir.filePath(QStringLiteral("blocked"))).mkdir(QStringLiteral("导入记录.txt"));
    const QString message = log.append(dir.filePath(QStringLiteral("blocked")), sampleRecord());
    EXPECT_TRUE(message.contains(QStringLiteral("导入记录.txt"))) << message.toStdString();
    EXPECT_EQ(log.append(dir.filePath(QStringLiteral("blocked")), sampleRecord()), QString());
}

TEST(RecordJson, CarriesEveryPartUnderEnglishKeys) {
    BlockRecord record = sampleRecord();
    record.outcome = BlockOutcome::RowCheckFailed;
    record.failedRow = 5;
    record.message = QStringLiteral("第5行的锁牌号不能为空!");
    const QJsonArray array = QJsonDocument::fromJson(recordsJson({record})).array();
    ASSERT_EQ(array.size(), 1);
    const QJsonObject json = array.at(0).toObject();
    EXPECT_EQ(json.value(QStringLiteral("import")).toString(), QStringLiteral("rooms-lockers"));
    EXPECT_EQ(json.value(QStringLiteral("block")).toInt(), 2);
    EXPECT_EQ(json.value(QStringLiteral("outcome")).toString(), QStringLiteral("row-check-failed"));
    EXPECT_EQ(json.value(QStringLiteral("failedRow")).toInt(), 5);
    EXPECT_EQ(json.value(QStringLiteral("message")).toString(), record.message);
    EXPECT_EQ(json.value(QStringLiteral("database")).toObject(),
              (QJsonObject{{QStringLiteral("server"), QStringLiteral("SRV\\SQLEXPRESS")},
                           {QStringLiteral("name"), QStringLiteral("Branch")}}));
    EXPECT_EQ(json.value(QStringLiteral("rowsLeftOut")).toInt(), 12);
    EXPECT_EQ(json.value(QStringLiteral("keysLeftOut")).toArray().at(11).toString(),
              QStringLiteral("T12"));
    const QJsonArray defaults = json.value(QStringLiteral("defaults")).toArray();
    EXPECT_EQ(defaults.at(0).toObject().value(QStringLiteral("value")).toString(),
              QStringLiteral("男宾"));
    EXPECT_EQ(defaults.at(1).toObject().value(QStringLiteral("copiedFromColumn")).toInt(), 2);
    const QJsonObject types = json.value(QStringLiteral("categories")).toArray().at(0).toObject();
    EXPECT_EQ(types.value(QStringLiteral("created")).toArray().at(0).toObject(),
              (QJsonObject{{QStringLiteral("key"), QStringLiteral("DR130405123")},
                           {QStringLiteral("name"), QStringLiteral("女宾锁牌")}}));
    EXPECT_EQ(types.value(QStringLiteral("reused")).toArray().size(), 1);
    const QJsonObject passes = json.value(QStringLiteral("passes")).toObject();
    EXPECT_DOUBLE_EQ(passes.value(QStringLiteral("import"))
                         .toObject()
                         .value(QStringLiteral("seconds"))
                         .toDouble(),
                     1.5);
    EXPECT_TRUE(passes.value(QStringLiteral("closing")).isNull());
}

} // namespace
} // namespace kestrel::test
