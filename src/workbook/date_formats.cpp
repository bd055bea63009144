#include "workbook/date_formats.h"

namespace kestrel {
namespace {

bool isDateLetter(QChar c) {
    switch (c.toLower().unicode()) {
    case u'y':
    case u'm':
    case u'd':
    case u'h':
    case u's':
        return true;
    default:
        return false;
    }
}

} // namespace

bool isDateFormatCode(const QString& code) {
    if (code.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0) {
        return false;
    }
    const qsizetype size = code.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = code.at(i);
        if (c == u'"') {
            const qsizetype close = code.indexOf(u'"', i + 1);
            if (close < 0) {
                return false;
            }
            i = close;
        } else if (c == u'[') {
            const qsizetype close = code.indexOf(u']', i + 1);
            if (close < 0) {
                return false;
            }
            i = close;
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i; // the next character is literal (or a fill / spacing character)
        } else if (isDateLetter(c)) {
            return true;
        }
    }
    return false;
}

bool isBuiltInDateFormat(int id) {
    return (id >= 14 && id <= 22) || (id >= 45 && id <= 47) || (id >= 27 && id <= 36) ||
           (id >= 50 && id <= 58);
}

} // namespace kestrel
