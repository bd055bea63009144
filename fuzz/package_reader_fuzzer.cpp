// libFuzzer entry for the .xlsx/.xlsm/.ods reader: opens arbitrary bytes by content, as an
// import run does, and walks every worksheet. Any exception other than the reader's own errors,
// any sanitizer report, a hang or runaway memory is a finding. The seeds are the sheet corpus
// re-packed without compression, so that mutations reach the XML.

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

constexpr kestrel::fuzz::WalkLimits kLimits{500, 1048576, 64};

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
        book = kestrel::openWorkbookFromBytes(bytes, QStringLiteral("fuzz.xlsx"));
    } catch (const kestrel::WorkbookError&) {
        return 0;
    }
    if (!book)
        std::abort();
    kestrel::fuzz::walkWorkbook(*book, locale, kLimits);
    return 0;
}
