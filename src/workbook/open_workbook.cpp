// Opening a template by its content: a ZIP package (.xlsx, .xlsm, .ods) goes to the package
// reader, everything else to the .xls reader, which refuses what it cannot read.
#include "text/errors.h"
#include "workbook/package/package_workbook.h"
#include "workbook/package/package_zip.h"
#include "workbook/workbook.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <functional>

namespace kestrel {
namespace {

// As the .xls reader's: larger than any .xls template; bounds what is read to tell why an OLE2
// file was refused.
constexpr qint64 kMaxFileSize = qint64(256) * 1024 * 1024;

// An Office Open XML file saved with a password is an OLE2 compound file holding the
// encrypted package; the .xls reader finds no workbook stream in it.
bool isEncryptedPackage(const QByteArray& bytes) {
    static const QByteArray name =
        QByteArray::fromRawData(reinterpret_cast<const char*>(u"EncryptedPackage"), 32);
    return bytes.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") && bytes.contains(name);
}

// Opens with the .xls reader; when it refuses an encrypted Office Open XML file, says so.
std::unique_ptr<Workbook> openNonPackage(const QString& name,
                                         const std::function<std::unique_ptr<Workbook>()>& xls,
                                         const std::function<QByteArray()>& bytes) {
    try {
        return xls();
    } catch (const WorkbookError&) {
        if (isEncryptedPackage(bytes()))
            throw workbookOpenError(
                name,
                QCoreApplication::translate(
                    "Workbook", "The workbook is protected by a password and cannot be read"));
        throw;
    }
}

} // namespace

WorkbookError workbookOpenError(const QString& path, const QString& reason) {
    return WorkbookError(
        QCoreApplication::translate("Workbook", "Cannot open the template file %1: %2")
            .arg(QDir::toNativeSeparators(path), reason));
}

std::unique_ptr<Workbook> openWorkbookFromBytes(const QByteArray& bytes, const QString& name) {
    if (package::looksLikeZip(bytes)) {
        QByteArray shared = bytes; // the buffer reads the same bytes, not a copy
        QBuffer buffer(&shared);
        buffer.open(QIODevice::ReadOnly);
        return package::openPackageWorkbook(buffer, name);
    }
    return openNonPackage(
        name, [&] { return openXlsWorkbookFromBytes(bytes, name); }, [&] { return bytes; });
}

std::unique_ptr<Workbook> openWorkbook(const QString& path) {
    QFile file(path);
    const QFileInfo info(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        return openXlsWorkbook(path); // gives the reason: missing, a folder, unreadable
    const QByteArray head = file.peek(8);
    if (!package::looksLikeZip(head)) {
        file.close();
        // Read again only when the .xls reader refused an OLE2 file, to tell why.
        const auto bytes = [&] {
            QFile again(path);
            const bool ole2 = head.startsWith("\xD0\xCF\x11\xE0") && info.size() <= kMaxFileSize &&
                              again.open(QIODevice::ReadOnly);
            return ole2 ? again.readAll() : QByteArray();
        };
        return openNonPackage(
            path, [&] { return openXlsWorkbook(path); }, bytes);
    }
    // A package is read part by part from the file, whatever its size.
    return package::openPackageWorkbook(file, path);
}

} // namespace kestrel
