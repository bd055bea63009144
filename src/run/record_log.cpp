#include "run/record_log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace kestrel {

namespace {

// The labels are Chinese literals, not translations: the log is read in Chinese on every
// workstation, whatever its locale.
const char* const kNewline = "\r\n";
constexpr qsizetype kKeysPerLine = 10;

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QString dateTime(const QDateTime& time) {
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString outcomeText(const BlockRecord& record) {
    switch (record.outcome) {
    case BlockOutcome::Completed:
        return u("完成");
    case BlockOutcome::RowCheckFailed:
        return u("在第%1行停止：%2").arg(QString::number(record.failedRow), record.message);
    case BlockOutcome::Error:
        return u("出错，本批未写入：") + record.message;
    case BlockOutcome::Stopped:
        return u("操作员停止，本批未写入");
    }
    return {};
}

QString databaseText(const DatabaseLocation& database) {
    if (!database.file.isEmpty())
        return u("文件 ") + QDir::toNativeSeparators(database.file);
    return u("服务器 %1，数据库 %2").arg(database.server, database.name);
}

QString passText(const char* label, const PassTiming& pass) {
    if (!pass.begun())
        return u(label) + u("：未进行");
    return u("%1：%2 开始，用时 %3 秒")
        .arg(u(label), dateTime(pass.started))
        .arg(double(pass.microseconds) / 1e6, 0, 'f', 3);
}

QString defaultText(const DefaultsWritten& entry) {
    const QString what = entry.copiedFromColumn > 0
                             ? u("填入第%1列的内容").arg(entry.copiedFromColumn)
                             : u("填入“%1”").arg(entry.value);
    return u("  第%1列（%2）：%3 格，%4")
        .arg(QString::number(entry.column), entry.header, QString::number(entry.cells), what);
}

void appendCategories(QStringList& lines, const char* label, const BlockRecord& record,
                      QList<ReconciledCategory> ReconciliationRecord::*list) {
    QStringList entries;
    for (const ReconciliationRecord& categories : record.categories) {
        for (const ReconciledCategory& category : categories.*list)
            entries.append(
                u("  %1：%2 %3").arg(categories.categoryTable, category.key, category.name));
    }
    lines.append(u(label) + (entries.isEmpty() ? u("无") : QString()));
    lines.append(entries);
}

void appendKeysLeftOut(QStringList& lines, const BlockRecord& record) {
    lines.append(u("已存在未写入：%1 行").arg(record.keysLeftOut.size()) +
                 (record.keysLeftOut.isEmpty() ? QString() : u("，%1：").arg(record.keyField)));
    for (qsizetype first = 0; first < record.keysLeftOut.size(); first += kKeysPerLine)
        lines.append(QStringLiteral("  ") +
                     record.keysLeftOut.mid(first, kKeysPerLine).join(QStringLiteral(", ")));
}

QString heading(const BlockRecord& record) {
    QString title = dateTime(record.started) + QStringLiteral("  ") + record.importCaption;
    if (record.blockCount > 1)
        title += u("  第%1批（共%2批）")
                     .arg(QString::number(record.block), QString::number(record.blockCount));
    return QStringLiteral("==== ") + title + QStringLiteral(" ====");
}

} // namespace

QString importLogFileName() {
    return u("导入记录.txt");
}

QString importLogSection(const BlockRecord& record) {
    QStringList lines{heading(record)};
    lines.append(u("模板：%1，工作表 %2（%3）")
                     .arg(QDir::toNativeSeparators(record.templatePath),
                          QString::number(record.worksheet), record.worksheetName));
    lines.append(u("数据库：") + databaseText(record.database));
    lines.append(
        u("分店：集团号 %1，分店号 %2，分店名 %3")
            .arg(record.branch.hotelTreeId, record.branch.hotelId, record.branch.hotelName));
    lines.append(u("结果：") + outcomeText(record));
    lines.append(u("检查行数：%1").arg(record.rowsChecked));
    lines.append(u("写入行数：%1（%2）")
                     .arg(QString::number(record.rowsWritten),
                          record.writtenTables.join(QStringLiteral("、"))));
    appendKeysLeftOut(lines, record);
    lines.append(u("默认值：") + (record.defaults.isEmpty() ? u("无") : QString()));
    for (const DefaultsWritten& entry : record.defaults)
        lines.append(defaultText(entry));
    appendCategories(lines, "新建类别：", record, &ReconciliationRecord::created);
    appendCategories(lines, "沿用已有类别：", record, &ReconciliationRecord::reused);
    lines.append(passText("检查阶段", record.checking));
    lines.append(passText("导入阶段", record.importing));
    lines.append(passText("收尾阶段（清理、类别、提交）", record.closing));
    lines.append(QString());
    return lines.join(QLatin1String(kNewline)) + QLatin1String(kNewline);
}

bool appendToImportLog(const QString& path, const QString& text, QString& reason) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        reason = file.errorString();
        return false;
    }
    QByteArray bytes = text.toUtf8();
    if (file.size() == 0)
        bytes.prepend("\xEF\xBB\xBF");
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        reason = file.errorString();
        return false;
    }
    return true;
}

QString ImportLog::append(const QString& folder, const BlockRecord& record) {
    const QString path = QDir(folder).filePath(importLogFileName());
    QString reason;
    if (appendToImportLog(path, importLogSection(record), reason) || m_failureReported)
        return {};
    m_failureReported = true;
    return QCoreApplication::translate("kestrel::ImportLog",
                                       "The import log %1 cannot be written (%2). The import "
                                       "is not affected; this is not shown again.")
        .arg(QDir::toNativeSeparators(path), reason);
}

} // namespace kestrel
