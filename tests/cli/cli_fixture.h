#pragma once

#include <QJsonArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace kestrel::test {

// What one run of kestrel-import gave.
struct ProcessResult {
    int exitCode = -1;
    QString out;
    QString err;
};

// A branch folder as the IT staff would prepare it: "Kestrel.ini" (dbtype sqlite), the branch
// database made from schema/branch.sql and the demo data, and the sample templates.
class CliFixture : public ::testing::Test {
protected:
    void SetUp() override;

    QString dir() const { return m_dir.path(); }
    QString databasePath() const { return dir() + QStringLiteral("/branch.db"); }
    QString templatePath(const QString& name) const { return dir() + QLatin1Char('/') + name; }

    // childSetup, when given, runs in the child between fork and exec (Unix only); locale, when
    // given, is the child's LC_ALL.
    ProcessResult runImport(const QStringList& arguments,
                            const std::function<void()>& childSetup = {},
                            const QString& locale = QString()) const;
    // Runs arguments with "--dir" and this folder in front.
    ProcessResult runInDir(const QStringList& arguments) const;

    // Single values and statements on the branch database (a connection of the test's own).
    qint64 count(const QString& select) const;
    QString text(const QString& select) const;
    void execute(const QString& statement) const;

    // Writes a one-worksheet .xls of text cells (an empty text leaves the cell blank) through
    // python3-xlwt; skips the test when python3-xlwt is not there.
    void writeWorkbook(const QString& path, const QJsonArray& rows) const;

    void writeSettings(const QString& databaseName) const;

private:
    QTemporaryDir m_dir;
};

} // namespace kestrel::test
