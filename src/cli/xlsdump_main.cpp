// kestrel-xlsdump FILE [SHEET]: shows what the reader takes from a template worksheet, one line
// per cell with a value, as the import sees it under this workstation's locale.
#include "cli/dump_rows.h"
#include "text/errors.h"
#include "text/translations.h"
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

// An Excel 5/95 workbook that does not name the code page of its texts was read in this
// computer's; say which, so that garbled text can be told from a wrong guess.
void noteAssumedCodePage(const kestrel::Workbook& book) {
    if (const std::optional<int> codePage = book.assumedCodePage()) {
        const QString note =
            QCoreApplication::translate("kestrel-xlsdump",
                                        "Note: %1 does not name the code page of its texts; they "
                                        "were read in this computer's code page %2")
                .arg(QDir::toNativeSeparators(book.filePath()))
                .arg(*codePage);
        std::fprintf(stderr, "%s\n", note.toUtf8().constData());
    }
}

int usage() {
    const QString text =
        QCoreApplication::translate("kestrel-xlsdump", "usage: kestrel-xlsdump FILE [SHEET]");
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    return kExitUsage;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    kestrel::installTranslations(QLocale::system());
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
        kestrel::xlsdump::dumpWorksheet(*book, sheet, QLocale::system());
    } catch (const kestrel::Error& error) {
        std::fflush(stdout);
        const QByteArray message = error.message().toUtf8();
        std::fprintf(stderr, "%s\n", message.constData());
        return kExitBadFile;
    }
    return 0;
}