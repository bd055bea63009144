#pragma once

#include "run/row_fields.h"
#include "run/run_observer.h"

#include <QDate>
#include <QLocale>
#include <QString>
#include <functional>

namespace kestrel {

class Query;

// What the sources of a written row read from.
struct FieldContext {
    const BranchIdentity& identity;
    QDate today;
    QLocale locale;                                  // reads numbers read back from the main row
    std::function<QString(int column)> templateText; // the current template row; may be empty
    const Query* mainRow = nullptr; // the main row just posted; null while writing it
};

// Sets the fields of the row just appended on query, in order. Throws DatabaseError.
void writeFields(Query& query, const FieldList& fields, const FieldContext& context);

} // namespace kestrel
