#pragma once

#include <QLocale>

class QTranslator;

namespace kestrel {

// The texts the tool adds beyond its fixed Chinese texts (database faults, workbook refusals,
// the window's questions, the tools' messages) are written in English and translated; under a
// Chinese locale the operator reads them in Chinese, in other locales in English.

// Installs both translations below on the application; the shells call it at start.
void installTranslations(const QLocale& locale);

// Installs Qt's own translations (the standard buttons of message boxes and dialogs: 确定, 取消,
// 是, 否) on the application when the locale is Chinese; in other locales Qt's own texts stay.
// The translator belongs to the application; nullptr when none was installed (another locale,
// or the translation files are not there).
QTranslator* installQtTranslations(const QLocale& locale);

// Installs the tool's own Simplified Chinese translation (built into the program) when the
// locale is Chinese; nullptr otherwise.
QTranslator* installKestrelTranslations(const QLocale& locale);

} // namespace kestrel
