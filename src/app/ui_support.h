#pragma once

#include <QFont>
#include <QIcon>
#include <QString>

class QWidget;

namespace kestrel {

// The application title: it captions every message box of the program.
QString applicationTitle();

// 宋体 when installed, else an installed family with Chinese glyphs, so that no text renders
// as boxes.
QString songTiFamily();
QFont songTiPointFont(int pointSize, bool bold = false);
QFont songTiPixelFont(int pixelSize, bool bold = false);

// A modal message box with one OK button, captioned with the application title.
void showInformation(QWidget* parent, const QString& text);
// The standard error box: the error's own text, a stop icon, the application title.
void showStandardError(QWidget* parent, const QString& text);
// A modal question with 是 and 否 (否 the default), captioned with the application title; true
// for 是.
bool askYesNo(QWidget* parent, const QString& text);

// Glyphs of the buttons, drawn rather than loaded.
enum class Glyph { Import, Exit, Apply, Cancel };
QIcon glyphIcon(Glyph glyph);

} // namespace kestrel
