// kestrel-xlsdump FILE [SHEET]: shows what the reader takes from a template worksheet, one line
// per cell with a value, as the import sees it under this workstation's locale.
#include "text/cellvalue.h"
#include "text/errors.h"
#include "text/textrules.h"
#include "workbook/workbook.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QStringList>
#include <cstdio>
#include <optional>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

constexpr int kExitBadFile = 2;
constexpr int kExitUsage = 64;
constexpr int kMaxColumns = 256;

QString typeName(kestrel::CellValue::Type type) {
    switch (type) {
    case kestrel::CellValue::Type::Text:
        return QStringLiteral("text");
    case kestrel::CellValue::Type::Number:
        return QStringLiteral("number");
    case kestrel::CellValue::Type::DateTime:
        return QStringLiteral("date");
    case kestrel::CellValue::Type::Boolean:
        return QStringLiteral("boolean");
    case kestrel::CellValue::Type::Error:
        return QStringLiteral("error");
    case kestrel::CellValue::Type::Blank:
        break;
    }
    return {};
}

QString escaped(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        switch (c.unicode()) {
        case u'\t':
            out += QLatin1String("\\t");
            break;
        case u'\r':
            out += QLatin1String("\\r");
            break;
        case u'\n':
            out += QLatin1String("\\n");
            break;
        case u'\\':
            out += QLatin1String("\\\\");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString cellText(const kestrel::CellValue& value, const QLocale& locale) {
    if (value.type == kestrel::CellValue::Type::Error) {
        return kestrel::errorCodeText(value.errorCode);
    }
    return kestrel::cellToText(value, locale);
}

void writeLine(const QString& line) {
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
    std::fputc('\n', stdout);
}

void dump(const kestrel::Workbook& book, int sheet) {
    const QLocale locale = QLocale::system();
    const int rows = book.lastRow(sheet);
    writeLine(QStringLiteral("rows\t%1").arg(rows));
    for (int row = 1; row <= rows; ++row) {
        for (int column = 1; column <= kMaxColumns; ++column) {
            const kestrel::CellValue value = book.cell(sheet, row, column);
            if (value.isBlank()) {
                continue;
            }
            writeLine(QStringLiteral("%1\t%2\t%3\t%4")
                          .arg(row)
                          .arg(column)
                          .arg(typeName(value.type), escaped(cellText(value, locale))));
        }
    }
}

// An Excel 5/95 workbook that does not name the code page of its texts was read in this
// computer's; say which, so that garbled text can be told from a wrong guess.
void noteAssumedCodePage(const kestrel::Workbook& book) {
    if (const std::optional<int> codePage = book.assumedCodePage()) {
        const QString note =
            QStringLiteral("注意：%1 没有注明文字的代码页，已按本机的代码页 %2 读取")
                .arg(QDir::toNativeSeparators(book.filePath()))
                .arg(*codePage);
        std::fprintf(stderr, "%s\n", note.toUtf8().constData());
    }
}

int usage() {
    std::fputs("usage: kestrel-xlsdump FILE [SHEET]\n", stderr);
    return kExitUsage;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY); // LF line ends, as on every platform
#endif
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || args.size() > 2) {
        return usage();
    }
    int sheet = 1;
    if (args.size() == 2) {
        bool ok = false;
        sheet = args.at(1).toInt(&ok);
        if (!ok) {
            return usage();
        }
    }
    try {
        const std::unique_ptr<kestrel::Workbook> book = kestrel::openWorkbook(args.at(0));
        noteAssumedCodePage(*book);
        dump(*book, sheet);
    } catch (const kestrel::Error& error) {
        std::fflush(stdout);
        const QByteArray message = error.message().toUtf8();
        std::fprintf(stderr, "%s\n", message.constData());
        return kExitBadFile;
    }
    return 0;
}
