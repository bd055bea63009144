#pragma once

#include "run_fixture.h"

#include <QRegularExpression>
#include <QStringList>
#include <string>

namespace kestrel::test {

// How the branch tables are typed for a test.
enum class BranchFlavour {
    Branch, // schema/branch.sql as it is: varchar(n) COLLATE NOCASE, numeric, datetime
    Loose,  // the same columns with case-sensitive TEXT, REAL numbers and DATE dates
};

// The branch schema of schema/branch.sql in the chosen flavour.
inline QStringList branchSchema(BranchFlavour flavour) {
    QStringList statements = storedValueSchema(SchemaFlavour::Branch);
    if (flavour == BranchFlavour::Branch)
        return statements;
    for (QString& statement : statements) {
        statement.replace(QRegularExpression(QStringLiteral("varchar\\(\\d+\\) COLLATE NOCASE")),
                          QStringLiteral("TEXT"));
        statement.replace(QRegularExpression(QStringLiteral("numeric\\(\\d+,\\d+\\)")),
                          QStringLiteral("REAL"));
        statement.replace(QStringLiteral("datetime"), QStringLiteral("DATE"));
    }
    return statements;
}

// An importer run on the branch tables, in either flavour, with in-memory templates.
class BranchImportTest : public RunFixture, public ::testing::WithParamInterface<BranchFlavour> {
protected:
    void SetUp() override {
        RunFixture::SetUp();
        createSchema(branchSchema(GetParam()));
    }

    // One text of the first row of a select.
    QString text(const QString& select) { return scalar(select).toString(); }

    // A template row: good texts with some columns replaced (column numbers from 1).
    static QStringList changed(QStringList row, const QMap<int, QString>& changes) {
        for (auto it = changes.begin(); it != changes.end(); ++it)
            row[it.key() - 1] = it.value();
        return row;
    }
};

inline std::string flavourName(const ::testing::TestParamInfo<BranchFlavour>& info) {
    return info.param == BranchFlavour::Branch ? "Branch" : "Loose";
}

} // namespace kestrel::test
