#pragma once

// What the tests of the corpora of real workbooks (.xls, .xlsx/.ods) share: the files of a corpus folder,
// the expectations an independent reader wrote beside each, and the names those use for types.
#include "text/cellvalue.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <string>
#include <vector>

namespace kestrel::test {

// The names of the files in folder matching patterns, sorted.
inline std::vector<std::string> corpusFileNames(const QString& folder,
                                                const QStringList& patterns) {
    std::vector<std::string> files;
    for (const QString& name : QDir(folder).entryList(patterns, QDir::Files, QDir::Name))
        files.push_back(name.toStdString());
    return files;
}

// FILE.expected.json of folder; empty when it is missing.
inline QJsonObject corpusExpectation(const QString& folder, const QString& file) {
    QFile json(folder + QLatin1Char('/') + file + QStringLiteral(".expected.json"));
    if (!json.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(json.readAll()).object();
}

// The type names of the expectation files.
inline const char* corpusTypeName(CellValue::Type type) {
    switch (type) {
    case CellValue::Type::Blank:
        return "blank";
    case CellValue::Type::Text:
        return "text";
    case CellValue::Type::Number:
        return "number";
    case CellValue::Type::DateTime:
        return "date";
    case CellValue::Type::Boolean:
        return "boolean";
    case CellValue::Type::Error:
        return "error";
    }
    return "?";
}

} // namespace kestrel::test
