#include "cli_fixture.h"

#include "database_contents.h"

#include "sqlite_script.h"
#include "test_paths.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUuid>

namespace kestrel::test {

namespace {

// A connection of its own for one statement, closed again so that the tool runs alone.
template <typename Work> void withDatabase(const QString& path, Work work) {
    onFile(path, work);
}

QVariant firstValue(const QString& path, const QString& select) {
    QVariant value;
    withDatabase(path, [&](QSqlDatabase& connection) {
        QSqlQuery query(connection);
        EXPECT_TRUE(query.exec(select) && query.next())
            << select.toStdString() << ": " << query.lastError().text().toStdString();
        value = query.value(0);
    });
    return value;
}

const char* const workbookScript = R"(
import json, sys, xlwt
book = xlwt.Workbook(encoding="utf-8")
sheet = book.add_sheet("Sheet1")
for r, row in enumerate(json.loads(sys.argv[2])):
    for c, value in enumerate(row):
        if value != "":
            sheet.write(r, c, value)
book.save(sys.argv[1])
)";

} // namespace

void CliFixture::SetUp() {
    ASSERT_TRUE(m_dir.isValid());
    writeSettings(QStringLiteral("branch.db"));
    withDatabase(databasePath(), [](QSqlDatabase& connection) {
        sqlscript::runFile(connection, sourceDir() + QStringLiteral("/schema/branch.sql"));
        sqlscript::runFile(connection, sourceDir() + QStringLiteral("/schema/demo-data.sql"));
    });
    const QDir templates(sourceDir() + QStringLiteral("/templates"));
    for (const QString& name : templates.entryList({QStringLiteral("*.xls")}, QDir::Files))
        ASSERT_TRUE(QFile::copy(templates.filePath(name), templatePath(name)));
}

void CliFixture::writeSettings(const QString& databaseName) const {
    QFile file(dir() + QStringLiteral("/Kestrel.ini"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write((QStringLiteral("[Kestrel]\r\ndbtype=sqlite\r\ndbname=") + databaseName +
                QStringLiteral("\r\n"))
                   .toUtf8());
}

ProcessResult CliFixture::runImport(const QStringList& arguments,
                                    const std::function<void()>& childSetup,
                                    const QString& locale) const {
    QProcess process;
    if (!locale.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LC_ALL"), locale);
        process.setProcessEnvironment(environment);
    }
#ifdef Q_OS_UNIX
    if (childSetup)
        process.setChildProcessModifier(childSetup);
#else
    Q_UNUSED(childSetup);
#endif
    process.start(binDir() + QStringLiteral("/kestrel-import"), arguments);
    ProcessResult result;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "kestrel-import did not finish: " << process.errorString().toStdString();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

ProcessResult CliFixture::runInDir(const QStringList& arguments) const {
    return runImport(QStringList{QStringLiteral("--dir"), dir()} + arguments);
}

qint64 CliFixture::count(const QString& select) const {
    return firstValue(databasePath(), select).toLongLong();
}

QString CliFixture::text(const QString& select) const {
    return firstValue(databasePath(), select).toString();
}

void CliFixture::execute(const QString& statement) const {
    withDatabase(databasePath(), [&](QSqlDatabase& connection) {
        QSqlQuery query(connection);
        EXPECT_TRUE(query.exec(statement)) << query.lastError().text().toStdString();
    });
}

void CliFixture::writeWorkbook(const QString& path, const QJsonArray& rows) const {
    // Debian's interpreter first: python3-xlwt is installed for it, not for other pythons.
    const QString debianPython = QStringLiteral("/usr/bin/python3");
    const QString python = QFile::exists(debianPython)
                               ? debianPython
                               : QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        GTEST_SKIP() << "python3 is needed to write test workbooks";
    QProcess process;
    process.start(python, {QStringLiteral("-c"), QString::fromUtf8(workbookScript), path,
                           QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Compact))});
    ASSERT_TRUE(process.waitForFinished(60000));
    if (process.exitCode() != 0 &&
        process.readAllStandardError().contains("No module named 'xlwt'"))
        GTEST_SKIP() << "python3-xlwt is needed to write test workbooks";
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
}

} // namespace kestrel::test
