#pragma once

#include "run_fixture.h"

#include <QMap>

namespace kestrel::test {

// The card tables of the branch schema, as schema/branch.sql has them or retyped (plain text,
// real numbers, dates without time, no keys), so that no import depends on our column types.
enum class CardSchema { Branch, Retyped };
QStringList cardSchema(CardSchema schema);

// What the tests need to know of one card import's layout (columns counted from 1).
struct CardLayout {
    ImportKind kind;
    QString templateFile;
    QString table;      // HY_JFAgioCardDetail or HY_JiCiCardDetail
    QString group;      // CardGroupID of the card rows; empty for points cards
    QString otherGroup; // the other group of the same table; empty for points cards
    QString completion;
    QStringList goodRow; // a row that passes every check, "%1" standing for the chip number
    int pointsColumn;
    int countColumn; // 0: the layout has none
    int validColumn;
    int issueColumn;
    int clientColumn;
    int sendMessageColumn;
    int birthdayColumn;
    int validDays;
};

CardLayout pointsLayout();
CardLayout treatmentLayout();
CardLayout timePeriodLayout();

// A card import on one of the card schemas, with its template in memory.
class CardImportFixture : public RunFixture {
protected:
    void setUpCards(const CardLayout& layout, CardSchema schema);

    // Starts the template afresh: the header row only.
    void restartTemplate();
    // A good row with some columns replaced.
    void addRow(const QString& chip, const QMap<int, QString>& changes = {});
    RunOutcome runCards();

    // expression over the card row of that chip in the import's group.
    QString card(const QString& chip, const QString& expression);
    QString logRow(const QString& chip, const QString& expression);
    int cards(const QString& where = QString());
    int logRows(const QString& where = QString());
    // Inserts a card row of a group ("" for points cards) with a type name and no type key.
    void insertCard(const QString& group, const QString& chip, const QString& typeName,
                    const QString& typeKey = QString());

    CardLayout layout;
    MemoryWorkbook* book = nullptr;
};

} // namespace kestrel::test
