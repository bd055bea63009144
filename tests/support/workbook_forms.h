#pragma once

#include "test_paths.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kestrel::test {

// Writes one worksheet in several forms through tests/support/write_workbook_forms.py: .xls by
// python3-xlwt, .xlsx by python3-openpyxl, .ods by python3-odf. Gives false (with a test
// failure) when the writer fails. outBase is the path without its suffix.
inline bool writeWorkbookForms(const QJsonObject& layout, const QString& outBase,
                               const QStringList& forms) {
    const QString layoutPath = outBase + QStringLiteral(".layout.json");
    QFile file(layoutPath);
    if (!file.open(QIODevice::WriteOnly)) {
        ADD_FAILURE() << "cannot write " << layoutPath.toStdString();
        return false;
    }
    file.write(QJsonDocument(layout).toJson());
    file.close();
    // Debian's python3-xlwt, -openpyxl and -odf belong to the system interpreter.
    const QString system = QStringLiteral("/usr/bin/python3");
    QProcess python;
    python.start(QFileInfo::exists(system) ? system : QStringLiteral("python3"),
                 QStringList{sourceDir() + QStringLiteral("/tests/support/write_workbook_forms.py"),
                             layoutPath, outBase} +
                     forms);
    if (!python.waitForFinished(120000) || python.exitCode() != 0) {
        ADD_FAILURE() << python.readAllStandardError().toStdString();
        return false;
    }
    QFile::remove(layoutPath);
    return true;
}

} // namespace kestrel::test
