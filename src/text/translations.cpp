#include "text/translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QStringList>
#include <QTranslator>

namespace kestrel {

namespace {

// Where Qt's .qm files are: Qt's own folder (Debian: qt6-translations-l10n), else a
// "translations" folder next to the executable (a Windows deployment).
QStringList qtTranslationFolders() {
    return {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
            QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations"))};
}

// The locale's own Chinese (zh_TW for Traditional Chinese), else Simplified Chinese.
bool loadChinese(QTranslator& translator, const QLocale& locale, const QString& name,
                 const QStringList& folders) {
    const QList<QLocale> candidates = {locale, QLocale(QLocale::Chinese, QLocale::China)};
    for (const QLocale& candidate : candidates) {
        for (const QString& folder : folders) {
            if (translator.load(candidate, name, QStringLiteral("_"), folder))
                return true;
        }
    }
    return false;
}

// Messages follow the locale's language of messages (LC_MESSAGES or LANGUAGE where set), which
// may differ from that of its numbers and dates.
QTranslator* install(const QLocale& locale, const QString& name, const QStringList& folders) {
    const QLocale messages(locale.uiLanguages().value(0, locale.name()));
    if (messages.language() != QLocale::Chinese || !QCoreApplication::instance())
        return nullptr;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!loadChinese(*translator, messages, name, folders) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

} // namespace

void installTranslations(const QLocale& locale) {
    installQtTranslations(locale);
    installKestrelTranslations(locale);
}

QTranslator* installQtTranslations(const QLocale& locale) {
    return install(locale, QStringLiteral("qtbase"), qtTranslationFolders());
}

// Built from translations/kestrel_zh_CN.ts into the resources of the engine.
QTranslator* installKestrelTranslations(const QLocale& locale) {
    return install(locale, QStringLiteral("kestrel"), {QStringLiteral(":/translations")});
}

} // namespace kestrel
