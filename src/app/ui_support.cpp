#include "app/ui_support.h"

#include <QFontDatabase>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace kestrel {

namespace {

// QFontDatabase::families() lists the names of the system's language ("文泉驿微米黑" under a
// Chinese locale); hasFamily() knows every name of a family, so the same font is chosen in
// every locale.
QString resolveSongTiFamily() {
    const QStringList preferred = {QStringLiteral("宋体"),
                                   QStringLiteral("SimSun"),
                                   QStringLiteral("NSimSun"),
                                   QStringLiteral("AR PL UMing CN"),
                                   QStringLiteral("Noto Serif CJK SC"),
                                   QStringLiteral("WenQuanYi Micro Hei"),
                                   QStringLiteral("WenQuanYi Zen Hei"),
                                   QStringLiteral("Noto Sans CJK SC"),
                                   QStringLiteral("Source Han Sans SC"),
                                   QStringLiteral("Microsoft YaHei"),
                                   QStringLiteral("Droid Sans Fallback")};
    for (const QString& family : preferred)
        if (QFontDatabase::hasFamily(family))
            return family;
    const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    return chinese.isEmpty() ? QFont().family() : chinese.front();
}

QFont songTiFont(bool bold) {
    QFont font(songTiFamily());
    font.setBold(bold);
    return font;
}

void showBox(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    QMessageBox box(icon, applicationTitle(), text, QMessageBox::Ok, parent);
    box.exec();
}

void drawImport(QPainter& p) {
    // A table sheet with an arrow into it.
    p.setPen(QPen(QColor(40, 80, 160), 1.5));
    p.setBrush(QColor(235, 242, 255));
    p.drawRect(QRectF(8.5, 3.5, 13, 17));
    for (double y = 8.5; y < 20; y += 4)
        p.drawLine(QPointF(8.5, y), QPointF(21.5, y));
    p.drawLine(QPointF(14.5, 3.5), QPointF(14.5, 20.5));
    QPainterPath arrow;
    arrow.moveTo(1, 9);
    arrow.lineTo(7, 9);
    arrow.lineTo(7, 5);
    arrow.lineTo(13, 12);
    arrow.lineTo(7, 19);
    arrow.lineTo(7, 15);
    arrow.lineTo(1, 15);
    arrow.closeSubpath();
    p.setPen(QPen(QColor(0, 110, 0), 1));
    p.setBrush(QColor(40, 180, 40));
    p.drawPath(arrow);
}

void drawExit(QPainter& p) {
    p.setPen(QPen(QColor(90, 60, 20), 1.5));
    p.setBrush(QColor(200, 150, 80));
    p.drawRect(QRectF(4.5, 2.5, 11, 19));
    p.setBrush(QColor(90, 60, 20));
    p.drawEllipse(QPointF(13, 12), 1.2, 1.2);
    p.setPen(QPen(QColor(200, 30, 30), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(13, 12), QPointF(22, 12));
    p.drawLine(QPointF(19, 8.5), QPointF(22, 12));
    p.drawLine(QPointF(19, 15.5), QPointF(22, 12));
}

void drawApply(QPainter& p) {
    p.setPen(QPen(QColor(0, 140, 0), 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(4, 13), QPointF(10, 19), QPointF(20, 5)}));
}

void drawCancel(QPainter& p) {
    p.setPen(QPen(QColor(200, 30, 30), 3.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5, 5), QPointF(19, 19));
    p.drawLine(QPointF(19, 5), QPointF(5, 19));
}

} // namespace

QString applicationTitle() {
    return QStringLiteral("换第三方软件");
}

QString songTiFamily() {
    static const QString family = resolveSongTiFamily();
    return family;
}

QFont songTiPointFont(int pointSize, bool bold) {
    QFont font = songTiFont(bold);
    font.setPointSize(pointSize);
    return font;
}

QFont songTiPixelFont(int pixelSize, bool bold) {
    QFont font = songTiFont(bold);
    font.setPixelSize(pixelSize);
    return font;
}

void showInformation(QWidget* parent, const QString& text) {
    showBox(parent, QMessageBox::Information, text);
}

void showStandardError(QWidget* parent, const QString& text) {
    showBox(parent, QMessageBox::Critical, text);
}

bool askYesNo(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, applicationTitle(), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QIcon glyphIcon(Glyph glyph) {
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    switch (glyph) {
    case Glyph::Import:
        drawImport(painter);
        break;
    case Glyph::Exit:
        drawExit(painter);
        break;
    case Glyph::Apply:
        drawApply(painter);
        break;
    case Glyph::Cancel:
        drawCancel(painter);
        break;
    }
    return QIcon(pixmap);
}

} // namespace kestrel
