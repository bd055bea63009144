// libFuzzer entry for the .xls reader: opens arbitrary bytes as a workbook and walks every
// worksheet the way an import run would. Any exception other than the reader's own errors, any
// sanitizer report, a hang or runaway memory is a finding.

#include "text/codepage.h"
#include "text/errors.h"
#include "workbook/workbook.h"
#include "workbook_walk.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

// Enough to reach every record kind a damaged file can hold without turning a sheet that claims
// 65,536 rows into a slow input. An .xls worksheet holds at most 65,536 rows.
constexpr kestrel::fuzz::WalkLimits kLimits{2000, 65536, 64};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qInstallMessageHandler(kestrel::fuzz::quietMessageHandler);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QLocale chinese(QLocale::Chinese, QLocale::China);
    static const QLocale american(QLocale::English, QLocale::UnitedStates);
    const QLocale& locale = size % 2 == 0 ? chinese : american;

    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    std::unique_ptr<kestrel::Workbook> book;
    try {
        book = kestrel::openXlsWorkbookFromBytes(bytes, QStringLiteral("fuzz.xls"),
                                                 kestrel::ansiCodePage(locale));
    } catch (const kestrel::WorkbookError&) {
        return 0; // a clean refusal is the expected answer for most inputs
    }
    if (!book)
        std::abort(); // the reader either opens the workbook or says why not
    kestrel::fuzz::walkWorkbook(*book, locale, kLimits);
    return 0;
}
