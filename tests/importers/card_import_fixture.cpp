#include "card_import_fixture.h"

#include <QRegularExpression>

namespace kestrel::test {

QStringList cardSchema(CardSchema schema) {
    QStringList statements = storedValueSchema(SchemaFlavour::Branch);
    if (schema == CardSchema::Branch)
        return statements;
    for (QString& statement : statements) {
        statement.replace(QRegularExpression(QStringLiteral("varchar\\(\\d+\\) COLLATE NOCASE")),
                          QStringLiteral("TEXT"));
        statement.replace(QRegularExpression(QStringLiteral("numeric\\(\\d+,\\d+\\)")),
                          QStringLiteral("REAL"));
        statement.replace(QStringLiteral("datetime"), QStringLiteral("DATE"));
        statement.replace(QRegularExpression(QStringLiteral(",\\s*PRIMARY KEY \\([^)]*\\)")),
                          QString());
    }
    return statements;
}

namespace {

// A good row: cells separated by "|", "%1" standing for the chip number.
QStringList cells(const char* row) {
    return QString::fromUtf8(row).split(QLatin1Char('|'));
}

CardLayout countCardLayout() {
    CardLayout layout;
    layout.table = QStringLiteral("HY_JiCiCardDetail");
    layout.pointsColumn = 7;
    layout.countColumn = 6;
    layout.validColumn = 8;
    layout.issueColumn = 9;
    layout.clientColumn = 12;
    layout.sendMessageColumn = 15;
    layout.birthdayColumn = 16;
    layout.validDays = 365;
    return layout;
}

} // namespace

CardLayout pointsLayout() {
    CardLayout layout;
    layout.kind = ImportKind::Points;
    layout.templateFile = QStringLiteral("青雁积分卡模板.xls");
    layout.table = QStringLiteral("HY_JFAgioCardDetail");
    layout.completion = QStringLiteral("积分卡执行完毕!");
    layout.goodRow = cells("积分金卡|%1|F-%1|n|pw1|120|2027-01-01|2024-01-15|不存|李顾问|王五|女|"
                           "13800000000|n|1985-06-01|510000|广州天河|护照");
    layout.pointsColumn = 6;
    layout.countColumn = 0;
    layout.validColumn = 7;
    layout.issueColumn = 8;
    layout.clientColumn = 11;
    layout.sendMessageColumn = 14;
    layout.birthdayColumn = 15;
    layout.validDays = 1095;
    return layout;
}

CardLayout treatmentLayout() {
    CardLayout layout = countCardLayout();
    layout.kind = ImportKind::Treatment;
    layout.templateFile = QStringLiteral("青雁疗程次卡模板.xls");
    layout.group = QStringLiteral("JiCiCard");
    layout.otherGroup = QStringLiteral("ShiDuanCard");
    layout.completion = QStringLiteral("疗程次卡执行完毕!");
    layout.goodRow = cells("足疗十次卡|%1|F-%1|n|pw1|10|50|2026-12-31|2024-01-15|不存|李顾问|"
                           "王五|女|13800000000|n|1985-06-01|510000|广州天河|护照");
    return layout;
}

CardLayout timePeriodLayout() {
    CardLayout layout = countCardLayout();
    layout.kind = ImportKind::TimePeriod;
    layout.templateFile = QStringLiteral("青雁时段卡模板.xls");
    layout.group = QStringLiteral("ShiDuanCard");
    layout.otherGroup = QStringLiteral("JiCiCard");
    layout.completion = QStringLiteral("时段卡执行完毕!");
    layout.goodRow = cells("月卡|%1|F-%1|n|pw1|30|50|2026-12-31|2024-01-15|不存|李顾问|王五|女|"
                           "13800000000|n|1985-06-01|510000|广州天河|护照");
    return layout;
}

void CardImportFixture::setUpCards(const CardLayout& cardLayout, CardSchema schema) {
    layout = cardLayout;
    createSchema(cardSchema(schema));
    restartTemplate();
}

void CardImportFixture::restartTemplate() {
    book = &addTemplate(layout.templateFile);
    QStringList header;
    for (int column = 1; column <= layout.goodRow.size(); ++column)
        header.append(QStringLiteral("列%1").arg(column));
    book->appendTextRow(1, header);
}

void CardImportFixture::addRow(const QString& chip, const QMap<int, QString>& changes) {
    QStringList row;
    for (const QString& cell : layout.goodRow)
        row.append(cell.contains(QStringLiteral("%1")) ? cell.arg(chip) : cell);
    for (auto it = changes.begin(); it != changes.end(); ++it)
        row[it.key() - 1] = it.value();
    book->appendTextRow(1, row);
}

RunOutcome CardImportFixture::runCards() {
    return run(layout.kind);
}

QString CardImportFixture::card(const QString& chip, const QString& expression) {
    QString where = QStringLiteral("CardCode='%1'").arg(chip);
    if (!layout.group.isEmpty())
        where += QStringLiteral(" AND CardGroupID='%1'").arg(layout.group);
    return scalar(QStringLiteral("SELECT %1 FROM %2 WHERE %3").arg(expression, layout.table, where))
        .toString();
}

QString CardImportFixture::logRow(const QString& chip, const QString& expression) {
    return scalar(QStringLiteral("SELECT %1 FROM HY_CardValueOpLog WHERE CardCode='%2'")
                      .arg(expression, chip))
        .toString();
}

int CardImportFixture::cards(const QString& where) {
    return count(layout.table, where);
}

int CardImportFixture::logRows(const QString& where) {
    return count(QStringLiteral("HY_CardValueOpLog"), where);
}

void CardImportFixture::insertCard(const QString& group, const QString& chip,
                                   const QString& typeName, const QString& typeKey) {
    const QString table = group.isEmpty() ? QStringLiteral("HY_JFAgioCardDetail")
                                          : QStringLiteral("HY_JiCiCardDetail");
    if (group.isEmpty()) {
        exec(QStringLiteral("INSERT INTO %1 (CardCode, CardTypeName, CardTypeID) VALUES ('%2', "
                            "'%3', '%4')")
                 .arg(table, chip, typeName, typeKey));
        return;
    }
    exec(QStringLiteral("INSERT INTO %1 (CardGroupID, CardCode, CardTypeName, CardTypeID, "
                        "CalTimes, CanXFTimes) VALUES ('%2', '%3', '%4', '%5', 0, 7)")
             .arg(table, group, chip, typeName, typeKey));
}

} // namespace kestrel::test
