#pragma once

#include "run/row_fields.h"
#include "run/run_observer.h"

#include <QDate>
#include <QLocale>
#include <QString>
#include <functional>
#include <vector>

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

// The same for a row written many times on one query: column positions, constant texts and the
// column each same-row source repeats are found once, at the first write, so that each further
// row costs no lookup by name. Gives the same values and errors as writeFields().
class CompiledRow {
public:
    explicit CompiledRow(const FieldList& fields);
    ~CompiledRow();
    CompiledRow(CompiledRow&&) noexcept;
    CompiledRow& operator=(CompiledRow&&) noexcept;

    void write(Query& query, const FieldContext& context);

private:
    struct Field;
    void compile(const Query& query, const FieldContext& context);
    QString mainRowText(const Field& field, const FieldContext& context);
    QString sourceText(std::size_t index, const FieldContext& context);

    FieldList m_fields;
    std::vector<Field> m_compiled; // empty until the first write
    std::vector<QString> m_texts;  // this row's text of each field, for same-row sources
    const Query* m_mainRow = nullptr;
};

} // namespace kestrel
