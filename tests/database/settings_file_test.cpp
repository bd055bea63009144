#include "database/settings_file.h"
#include "text/codepage.h"
#include "text/errors.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kestrel {
namespace {

const QString kSection = QStringLiteral("Kestrel");

class SettingsFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = settingsFilePath(dir.path());

    void writeBytes(const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray readBytes() const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString read(const char* key) const {
        return SettingsFile(path).read(kSection, QString::fromLatin1(key));
    }
};

TEST_F(SettingsFileTest, PathIsKestrelIniInTheFolder) {
    EXPECT_EQ(settingsFilePath(QStringLiteral("/opt/app/")),
              QStringLiteral("/opt/app/Kestrel.ini"));
    EXPECT_EQ(settingsFilePath(QStringLiteral("/opt/app")), QStringLiteral("/opt/app/Kestrel.ini"));
}

TEST_F(SettingsFileTest, MissingFileSectionOrKeyReadsEmpty) {
    EXPECT_EQ(read("dbserver"), QString());
    writeBytes("[Other]\ndbserver=x\n");
    EXPECT_EQ(read("dbserver"), QString());
    writeBytes("[Kestrel]\ndbname=x\n");
    EXPECT_EQ(read("dbserver"), QString());
}

TEST_F(SettingsFileTest, NamesMatchWithoutLetterCaseAndBlanksAreIgnored) {
    writeBytes("  [ kestrel ]  \r\n  dbPassword  =  secret  \r\ndbUserID=sa\r\n");
    EXPECT_EQ(read("dbpassword"), QStringLiteral("secret"));
    EXPECT_EQ(read("DBUSERID"), QStringLiteral("sa"));
}

TEST_F(SettingsFileTest, FirstDuplicateWinsAndMatchingQuotesAreStripped) {
    writeBytes("[Kestrel]\ndbname=first\nDBNAME=second\n"
               "dbserver=\"quoted; value\"\ndbUserID='single'\nLinkMode=\"unmatched'\n"
               "; dbPassword=commented\n");
    EXPECT_EQ(read("dbname"), QStringLiteral("first"));
    EXPECT_EQ(read("dbserver"), QStringLiteral("quoted; value"));
    EXPECT_EQ(read("dbUserID"), QStringLiteral("single"));
    EXPECT_EQ(read("LinkMode"), QStringLiteral("\"unmatched'"));
    EXPECT_EQ(read("dbPassword"), QString());
}

TEST_F(SettingsFileTest, OnlyTheFirstSectionOfANameCountsAndKeysStayInTheirSection) {
    writeBytes("[Kestrel]\ndbname=a\n[Other]\ndbserver=other\n[KESTREL]\ndbserver=late\n");
    EXPECT_EQ(read("dbserver"), QString());
}

TEST_F(SettingsFileTest, WriteReplacesTheHandWrittenEntryInPlaceKeepingEveryOtherLine) {
    writeBytes("; branch settings\r\n[Kestrel]\r\ndbPassword = old\r\nLinkMode=NT\r\n\r\n"
               "[Other]\r\nkey=value\r\n");
    SettingsFile(path).write(kSection, QStringLiteral("dbpassword"), QStringLiteral("new"));
    EXPECT_EQ(readBytes(), QByteArray("; branch settings\r\n[Kestrel]\r\ndbPassword=new\r\n"
                                      "LinkMode=NT\r\n\r\n[Other]\r\nkey=value\r\n"));
}

TEST_F(SettingsFileTest, NewKeyGoesAtTheEndOfItsSectionBeforeTheBlankSeparator) {
    writeBytes("[Kestrel]\nLinkMode=NT\n\n[Other]\nkey=value");
    SettingsFile(path).write(kSection, QStringLiteral("dbuserid"), QStringLiteral("sa"));
    EXPECT_EQ(readBytes(), QByteArray("[Kestrel]\nLinkMode=NT\ndbuserid=sa\n\n[Other]\nkey=value"));
}

TEST_F(SettingsFileTest, WritingCreatesFileAndSectionOwnerOnly) {
    SettingsFile file(path);
    file.write(kSection, QStringLiteral("dbpassword"), QString());
    file.write(kSection, QStringLiteral("dbserver"), QStringLiteral("srv"));
    EXPECT_EQ(read("dbPassword"), QString());
    EXPECT_EQ(read("dbserver"), QStringLiteral("srv"));
    const QByteArray bytes = readBytes();
    EXPECT_TRUE(bytes.startsWith("[Kestrel]"));
    EXPECT_EQ(bytes.count("[Kestrel]"), 1);
    EXPECT_TRUE(bytes.contains("dbpassword=\n") || bytes.contains("dbpassword=\r\n"));
#ifndef Q_OS_WIN
    EXPECT_EQ(QFile::permissions(path) & (QFileDevice::ReadOther | QFileDevice::ReadGroup), 0);
#endif
}

TEST_F(SettingsFileTest, ValuesThatReadingWouldChangeSurviveARoundTrip) {
    SettingsFile file(path);
    const QStringList values = {QStringLiteral("  padded  "), QStringLiteral("\"quoted\""),
                                QStringLiteral("a;b=c"), QStringLiteral("'x'")};
    for (const QString& value : values) {
        file.write(kSection, QStringLiteral("dbpassword"), value);
        EXPECT_EQ(read("dbPassword"), value);
    }
    EXPECT_THROW(file.write(kSection, QStringLiteral("dbname"), QStringLiteral("a\nb")), Error);
}

TEST_F(SettingsFileTest, Gb18030FileIsReadAndWrittenBackInItsEncoding) {
    const QString server = QStringLiteral("青雁服务器");
    writeBytes(
        encodeCodePage(QStringLiteral("[Kestrel]\r\ndbserver=青雁服务器\r\ndbname=旧\r\n"), 54936));
    EXPECT_EQ(read("dbserver"), server);
    SettingsFile(path).write(kSection, QStringLiteral("dbname"), QStringLiteral("分店库"));
    EXPECT_EQ(read("dbserver"), server);
    EXPECT_EQ(read("dbname"), QStringLiteral("分店库"));
    EXPECT_TRUE(readBytes().contains(encodeCodePage(QStringLiteral("分店库"), 54936)));
}

TEST_F(SettingsFileTest, Utf8FileWithByteOrderMarkKeepsIt) {
    writeBytes(QByteArray("\xEF\xBB\xBF[Kestrel]\ndbname=") + QStringLiteral("分店").toUtf8() +
               "\n");
    EXPECT_EQ(read("dbname"), QStringLiteral("分店"));
    SettingsFile(path).write(kSection, QStringLiteral("dbserver"), QStringLiteral("srv"));
    EXPECT_TRUE(readBytes().startsWith("\xEF\xBB\xBF[Kestrel]\n"));
    EXPECT_EQ(read("dbname"), QStringLiteral("分店"));
}

} // namespace
} // namespace kestrel
