#include "database/connection.h"
#include "database/odbc_connection_string.h"
#include "database/settings_file.h"
#include "text/errors.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kestrel {
namespace {

ConnectionSettings settings(const QString& linkMode, const QString& password = QString()) {
    ConnectionSettings s;
    s.server = QStringLiteral("srv");
    s.database = QStringLiteral("db");
    s.login = QStringLiteral("u");
    s.password = password;
    s.linkMode = linkMode;
    return s;
}

TEST(ConnectionString, IntegratedLoginOnlyForExactlyNT) {
    EXPECT_EQ(buildConnectionString(settings(QStringLiteral("NT"), QStringLiteral("ignored"))),
              QStringLiteral("Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security "
                             "Info=False;User ID=sa;Initial Catalog=db;Data Source=srv"));
    EXPECT_EQ(buildConnectionString(settings(QStringLiteral("nt"), QStringLiteral("pw"))),
              QStringLiteral("Provider=SQLOLEDB.1;Password=pw;Persist Security Info=True;"
                             "User ID=u;Initial Catalog=db;Data Source=srv"));
}

TEST(ConnectionString, EmptyPasswordLeavesTheKeyWithoutValue) {
    EXPECT_EQ(buildConnectionString(settings(QString())),
              QStringLiteral("Provider=SQLOLEDB.1;Password=;Persist Security Info=True;"
                             "User ID=u;Initial Catalog=db;Data Source=srv"));
}

TEST(ConnectionString, ValuesThatWouldBreakTheStringAreQuotedAndReadBackIntact) {
    const QStringList passwords = {QStringLiteral("a;Data Source=evil"),
                                   QStringLiteral("say \"hi\""), QStringLiteral(" padded "),
                                   QStringLiteral("it's"), QStringLiteral("{x}")};
    for (const QString& password : passwords) {
        ConnectionSettings s = settings(QString(), password);
        s.database = QStringLiteral("分店;库");
        const QString text = buildConnectionString(s);
        const SqlServerTarget target = SqlServerTarget::fromOleDb(text);
        EXPECT_EQ(target.password, password) << qPrintable(text);
        EXPECT_EQ(target.dataSource, QStringLiteral("srv")) << qPrintable(text);
        EXPECT_EQ(target.database, QStringLiteral("分店;库")) << qPrintable(text);
    }
    EXPECT_EQ(oleDbValue(QStringLiteral("a;b")), QStringLiteral("\"a;b\""));
    EXPECT_EQ(oleDbValue(QStringLiteral("a\"b")), QStringLiteral("\"a\"\"b\""));
}

TEST(ConnectionString, ParserReadsKeysWithoutLetterCaseAndRejectsMalformedText) {
    const SqlServerTarget target = SqlServerTarget::fromOleDb(
        QStringLiteral(" provider=SQLOLEDB.1 ; DATA SOURCE = host\\inst ;user id=me;"
                       "PASSWORD='p;w';integrated security=sspi;"));
    EXPECT_EQ(target.dataSource, QStringLiteral("host\\inst"));
    EXPECT_EQ(target.userId, QStringLiteral("me"));
    EXPECT_EQ(target.password, QStringLiteral("p;w"));
    EXPECT_TRUE(target.integratedSecurity);
    EXPECT_THROW(parseOleDbConnectionString(QStringLiteral("Password=\"open")), DatabaseError);
    EXPECT_THROW(parseOleDbConnectionString(QStringLiteral("Password=\"a\"b;")), DatabaseError);
    EXPECT_THROW(parseOleDbConnectionString(QStringLiteral("Provider=x;garbage")), DatabaseError);
}

TEST(OdbcTranslation, FreeTdsSplitsServerFormsAndAddsVersionAndCharset) {
    SqlServerTarget target;
    target.database = QStringLiteral("db");
    target.userId = QStringLiteral("sa");
    target.password = QStringLiteral("pw");
    const QString tail =
        QStringLiteral(";DATABASE=db;UID=sa;PWD=pw;TDS_Version=7.1;ClientCharset=UTF-8");
    const auto odbc = [&](const char* dataSource) {
        target.dataSource = QString::fromLatin1(dataSource);
        return odbcConnectionString(target, QStringLiteral("FreeTDS"));
    };
    EXPECT_EQ(odbc("192.168.1.5"), QStringLiteral("DRIVER={FreeTDS};SERVER=192.168.1.5") + tail);
    EXPECT_EQ(odbc("(local)"), QStringLiteral("DRIVER={FreeTDS};SERVER=127.0.0.1") + tail);
    EXPECT_EQ(odbc(""), QStringLiteral("DRIVER={FreeTDS};SERVER=127.0.0.1") + tail);
    EXPECT_EQ(odbc("(LOCAL)\\SQL2000"),
              QStringLiteral("DRIVER={FreeTDS};SERVER=127.0.0.1\\SQL2000") + tail);
    EXPECT_EQ(odbc("db.example, 1533"),
              QStringLiteral("DRIVER={FreeTDS};SERVER=db.example;PORT=1533") + tail);
    EXPECT_EQ(odbc("tcp:host\\inst,2000"),
              QStringLiteral("DRIVER={FreeTDS};SERVER=host;PORT=2000") + tail);
}

TEST(OdbcTranslation, IntegratedSecurityAndMicrosoftDriver) {
    SqlServerTarget target;
    target.dataSource = QStringLiteral("(local)\\inst");
    target.database = QStringLiteral("db");
    target.userId = QStringLiteral("sa");
    target.integratedSecurity = true;
    EXPECT_EQ(odbcConnectionString(target, QStringLiteral("SQL Server")),
              QStringLiteral("DRIVER={SQL Server};SERVER=(local)\\inst;DATABASE=db;"
                             "Trusted_Connection=Yes"));
    EXPECT_EQ(odbcConnectionString(target, QStringLiteral("FreeTDS")),
              QStringLiteral("DRIVER={FreeTDS};SERVER=127.0.0.1\\inst;DATABASE=db;"
                             "Trusted_Connection=Yes;TDS_Version=7.1;ClientCharset=UTF-8"));
}

TEST(OdbcTranslation, ValuesThatWouldBreakTheStringAreBraced) {
    EXPECT_EQ(odbcValue(QStringLiteral("plain")), QStringLiteral("plain"));
    EXPECT_EQ(odbcValue(QStringLiteral("a;b")), QStringLiteral("{a;b}"));
    EXPECT_EQ(odbcValue(QStringLiteral(" a")), QStringLiteral("{ a}"));
    EXPECT_EQ(odbcValue(QStringLiteral("a}b")), QStringLiteral("{a}}b}"));
    SqlServerTarget target;
    target.dataSource = QStringLiteral("srv");
    target.password = QStringLiteral("p;w");
    EXPECT_EQ(odbcConnectionString(target, QStringLiteral("SQL Server")),
              QStringLiteral("DRIVER={SQL Server};SERVER=srv;UID=;PWD={p;w}"));
}

// FreeTDS reads a braced value up to the first "};" and undoubles nothing.
TEST(OdbcTranslation, FreeTdsBracesWithoutDoublingAndRefusesWhatItCannotRead) {
    EXPECT_EQ(odbcValue(QStringLiteral("p}w;x"), BraceStyle::FreeTds), QStringLiteral("{p}w;x}"));
    EXPECT_EQ(odbcValue(QStringLiteral("ab}"), BraceStyle::FreeTds), QStringLiteral("{ab}}"));
    EXPECT_THROW(odbcValue(QStringLiteral("a};b"), BraceStyle::FreeTds), DatabaseError);
    SqlServerTarget target;
    target.dataSource = QStringLiteral("srv");
    target.password = QStringLiteral(" p;w ");
    EXPECT_EQ(odbcConnectionString(target, QStringLiteral("FreeTDS")),
              QStringLiteral("DRIVER={FreeTDS};SERVER=srv;UID=;PWD={ p;w };TDS_Version=7.1;"
                             "ClientCharset=UTF-8"));
}

TEST(ConnectionSettingsFile, LoadsTheStartupKeysAndDefaultsTheDriver) {
    QTemporaryDir dir;
    const QString path = settingsFilePath(dir.path());
    EXPECT_EQ(ConnectionSettings::load(path).odbcDriver, defaultOdbcDriver());
    SettingsFile file(path);
    const QString section = QStringLiteral("KESTREL");
    file.write(section, QStringLiteral("DBPASSWORD"), QStringLiteral("pw"));
    file.write(section, QStringLiteral("dbuserid"), QStringLiteral("u"));
    file.write(section, QStringLiteral("DbServer"), QStringLiteral("srv"));
    file.write(section, QStringLiteral("dbname"), QStringLiteral("db"));
    file.write(section, QStringLiteral("linkmode"), QStringLiteral("NT"));
    file.write(section, QStringLiteral("dbtype"), QStringLiteral("sqlite"));
    file.write(section, QStringLiteral("odbcdriver"), QStringLiteral("ODBC Driver 17"));
    const ConnectionSettings s = ConnectionSettings::load(path);
    EXPECT_EQ(s.password, QStringLiteral("pw"));
    EXPECT_EQ(s.login, QStringLiteral("u"));
    EXPECT_EQ(s.server, QStringLiteral("srv"));
    EXPECT_EQ(s.database, QStringLiteral("db"));
    EXPECT_EQ(s.linkMode, QStringLiteral("NT"));
    EXPECT_EQ(s.dbType, QStringLiteral("sqlite"));
    EXPECT_EQ(s.odbcDriver, QStringLiteral("ODBC Driver 17"));
}

} // namespace
} // namespace kestrel
