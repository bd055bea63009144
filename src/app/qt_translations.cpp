#include "app/qt_translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QStringList>
#include <QTranslator>

namespace kestrel {

namespace {

// Where Qt's .qm files are: Qt's own folder (Debian: qt6-translations-l10n), else a
// "translations" folder next to the executable (a Windows deployment).
QStringList translationFolders() {
    return {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
            QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations"))};
}

// The locale's own Chinese (zh_TW for Traditional Chinese), else Simplified Chinese.
bool loadChinese(QTranslator& translator, const QLocale& locale) {
    const QList<QLocale> candidates = {locale, QLocale(QLocale::Chinese, QLocale::China)};
    for (const QLocale& candidate : candidates) {
        for (const QString& folder : translationFolders()) {
            if (translator.load(candidate, QStringLiteral("qtbase"), QStringLiteral("_"), folder))
                return true;
        }
    }
    return false;
}

} // namespace

QTranslator* installQtTranslations(const QLocale& locale) {
    if (locale.language() != QLocale::Chinese || !QCoreApplication::instance())
        return nullptr;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!loadChinese(*translator, locale) || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

} // namespace kestrel
