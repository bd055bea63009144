#pragma once

#include <QLocale>

class QTranslator;

namespace kestrel {

// Installs Qt's own translations (the standard buttons of message boxes and dialogs: 确定, 取消,
// 是, 否) on the application when the locale is Chinese; in other locales Qt's own texts stay.
// The translator belongs to the application; nullptr when none was installed (another locale,
// or the translation files are not there).
QTranslator* installQtTranslations(const QLocale& locale);

} // namespace kestrel
