// Reads every cell of worksheet 1 of a workbook with our reader and turns it into text under the
// workstation's locale, for the reader benchmark. Prints key<TAB>value lines like the FreeXL and
// xlrd harnesses (and the .xlsx one of openpyxl). Usage: kestrel-bench-xls-read FILE.xls|.xlsx|.ods

#include "text/cellvalue.h"
#include "text/errors.h"
#include "text/textrules.h"
#include "workbook/workbook.h"

#include <QFile>
#include <QLocale>
#include <QString>
#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int firstSheet = 1;
constexpr int maxColumns = 256; // an .xls worksheet has columns A to IV

double secondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// The templates' header row spans every column in use.
int usedColumns(const kestrel::Workbook& book) {
    int last = 0;
    for (int column = 1; column <= maxColumns; ++column) {
        if (!book.cell(firstSheet, 1, column).isBlank()) {
            last = column;
        }
    }
    return last;
}

struct Totals {
    long long nonblank = 0;
    long long textChars = 0;
    long long errors = 0;
};

Totals readEveryCell(const kestrel::Workbook& book, int rows, int columns) {
    const QLocale locale = QLocale::system();
    Totals totals;
    for (int row = 1; row <= rows; ++row) {
        for (int column = 1; column <= columns; ++column) {
            const kestrel::CellValue value = book.cell(firstSheet, row, column);
            if (value.isBlank()) {
                continue;
            }
            ++totals.nonblank;
            try {
                totals.textChars += kestrel::cellToText(value, locale).size();
            } catch (const kestrel::ConversionError&) {
                ++totals.errors;
            }
        }
    }
    return totals;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: kestrel-bench-xls-read FILE.xls\n", stderr);
        return 64;
    }
    try {
        const Clock::time_point started = Clock::now();
        const auto book = kestrel::openWorkbook(QFile::decodeName(argv[1])); // by content
        const int rows = book->lastRow(firstSheet);
        const int columns = usedColumns(*book);
        const Clock::time_point opened = Clock::now();
        const Totals totals = readEveryCell(*book, rows, columns);
        const Clock::time_point finished = Clock::now();

        std::printf("reader\tkestrel\nrows\t%d\ncolumns\t%d\ncells\t%lld\n", rows, columns,
                    static_cast<long long>(rows) * columns);
        std::printf("nonblank\t%lld\ntext_chars\t%lld\nerror_cells\t%lld\n", totals.nonblank,
                    totals.textChars, totals.errors);
        std::printf("open_seconds\t%.3f\nread_seconds\t%.3f\n", secondsBetween(started, opened),
                    secondsBetween(opened, finished));
    } catch (const kestrel::Error& error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message()));
        return 2;
    }
    return 0;
}
