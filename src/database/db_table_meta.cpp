#include "database/db_table_meta.h"

#include <QCoreApplication>

namespace kestrel {

void NameIndex::assign(const QStringList& names) {
    m_byFoldedName.clear();
    m_byExactName.clear();
    for (int i = 0; i < names.size(); ++i) {
        const QString folded = names.at(i).toCaseFolded();
        if (!m_byFoldedName.contains(folded)) // a repeated name means its first column
            m_byFoldedName.insert(folded, i);
    }
}

int NameIndex::indexOf(const QString& name) const {
    const auto exact = m_byExactName.constFind(name);
    if (exact != m_byExactName.constEnd())
        return exact.value();
    const int index = m_byFoldedName.value(name.toCaseFolded(), -1);
    m_byExactName.insert(name, index);
    return index;
}

QString fieldNotFoundMessage(const QString& field) {
    return QCoreApplication::translate("Database", "Field '%1' not found").arg(field);
}

} // namespace kestrel
