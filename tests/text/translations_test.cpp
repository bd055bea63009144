// Every text the tool adds has its Simplified Chinese translation, in the translation file and in
// the programs; an error message is never written in English outside the translation system.
#include "test_paths.h"
#include "text/translations.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>
#include <gtest/gtest.h>
#include <map>

namespace kestrel {
namespace {

struct Message {
    QString translation;
    bool finished = false;
};
using Messages = std::map<std::pair<QString, QString>, Message>; // (context, source)

Messages readTs(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    QXmlStreamReader xml(&file);
    Messages messages;
    QString context;
    QString source;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"name") {
            context = xml.readElementText();
        } else if (xml.name() == u"source") {
            source = xml.readElementText();
        } else if (xml.name() == u"translation") {
            const bool finished = xml.attributes().value(QStringLiteral("type")).isEmpty();
            messages[{context, source}] = {xml.readElementText(), finished};
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return messages;
}

QStringList sourceFiles() {
    QStringList files;
    QDirIterator it(test::sourceDir() + QStringLiteral("/src"),
                    {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    return files;
}

const QString kTsFile = QStringLiteral("/translations/kestrel_zh_CN.ts");

// What lupdate finds in the sources now, merged into a copy of the translation file.
Messages textsInTheSources() {
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("copy.ts"));
    EXPECT_TRUE(QFile::copy(test::sourceDir() + kTsFile, copy));
    QProcess lupdate;
    lupdate.start(QStringLiteral(KESTREL_LUPDATE),
                  QStringList{QStringLiteral("-silent"), QStringLiteral("-no-obsolete"),
                              QStringLiteral("-locations"), QStringLiteral("none"),
                              QStringLiteral("-I"), test::sourceDir() + QStringLiteral("/src")} +
                      sourceFiles() + QStringList{QStringLiteral("-ts"), copy});
    EXPECT_TRUE(lupdate.waitForFinished(120000));
    EXPECT_EQ(lupdate.exitCode(), 0) << lupdate.readAllStandardError().toStdString();
    return readTs(copy);
}

QStringList placeholders(const QString& text) {
    QStringList found;
    for (const QRegularExpressionMatch& match :
         QRegularExpression(QStringLiteral("%\\d")).globalMatch(text))
        found.append(match.captured());
    found.sort();
    return found;
}

TEST(Translations, EveryTextInTheSourcesIsTranslatedAndTheFileIsUpToDate) {
    const Messages committed = readTs(test::sourceDir() + kTsFile);
    const Messages found = textsInTheSources();
    ASSERT_FALSE(found.empty());
    for (const auto& [key, message] : found) {
        const std::string text = (key.first + u'|' + key.second).toStdString();
        EXPECT_TRUE(message.finished && !message.translation.isEmpty())
            << "no Chinese translation (build kestrel_text_lupdate, then translate): " << text;
        EXPECT_EQ(placeholders(message.translation), placeholders(key.second)) << text;
        EXPECT_EQ(committed.count(key), 1u) << "not in the translation file: " << text;
    }
    for (const auto& [key, message] : committed)
        EXPECT_EQ(found.count(key), 1u)
            << "no longer in the sources: " << (key.first + u'|' + key.second).toStdString();
}

// Walks the translation built into the program for every text of the file.
TEST(Translations, TheProgramTranslatesEveryTextUnderAChineseLocaleOnly) {
    const Messages committed = readTs(test::sourceDir() + kTsFile);
    EXPECT_EQ(installKestrelTranslations(QLocale(QLocale::English, QLocale::UnitedStates)),
              nullptr);
    EXPECT_EQ(installKestrelTranslations(QLocale(QLocale::German, QLocale::Germany)), nullptr);
    QTranslator* chinese = installKestrelTranslations(QLocale(QLocale::Chinese, QLocale::China));
    ASSERT_NE(chinese, nullptr);
    for (const auto& [key, message] : committed) {
        const QByteArray context = key.first.toUtf8();
        const QByteArray source = key.second.toUtf8();
        EXPECT_EQ(QCoreApplication::translate(context.constData(), source.constData()),
                  message.translation)
            << source.constData();
    }
    QCoreApplication::removeTranslator(chinese);
    delete chinese;
}

// An error's text in English must go through the translation system: a message written straight
// into an error would reach a Chinese operator in English. The data layer's conversion messages
// keep the branch system's own wording in every locale.
TEST(Translations, NoErrorIsRaisedWithAnUntranslatedEnglishText) {
    const QRegularExpression raised(
        QStringLiteral("(?:Error|workbookOpenError)\\s*\\(\\s*(?:[^;()]*,\\s*)?"
                       "(?:QStringLiteral|QLatin1String|QString::fromLatin1)\\(\\s*\"([^\"]*)\""));
    const QRegularExpression english(QStringLiteral("[A-Za-z]{2,}"));
    const QRegularExpression dataLayer(QStringLiteral("^'%1' is not a valid "));
    for (const QString& path : sourceFiles()) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        for (const QRegularExpressionMatch& match : raised.globalMatch(text)) {
            const QString literal = match.captured(1);
            if (english.match(literal).hasMatch() && !dataLayer.match(literal).hasMatch())
                ADD_FAILURE() << path.toStdString() << ": " << literal.toStdString();
        }
    }
}

} // namespace
} // namespace kestrel
