// 沐足洗浴项目导入: service items from worksheet 1, then bar stock goods and their price rows from
// worksheet 2 of the same template.
#include "branch_import_fixture.h"

namespace kestrel::test {
namespace {

const QString kTemplate = QStringLiteral("青雁营业项目资料模板.xls");
const QString kItemsDone = QStringLiteral("项目资料执行完毕!");
const QString kGoodsDone = QStringLiteral("吧台库存项目执行完毕!");

// Texts separated by "|"; an empty one leaves its cell blank.
QStringList cells(const char* texts) {
    return QString::fromUtf8(texts).split(QLatin1Char('|'));
}

// A good service item and a good goods item: every column filled.
QStringList item(const QString& code, const QString& type = QStringLiteral("足疗"),
                 const QString& unit = QStringLiteral("位")) {
    return QStringList{type, code, QStringLiteral("项目") + code, unit} +
           cells("20|98|y|y|y|60|2|30|y|10|y|y|y|0.8");
}
QStringList goods(const QString& code, const QString& type = QStringLiteral("饮料"),
                  const QString& unit = QStringLiteral("瓶")) {
    return QStringList{type, code, QStringLiteral("商品") + code, unit} +
           cells("2|8.5|y|y|1|y|y|y|0.9");
}

class ItemsGoodsTest : public BranchImportTest {
protected:
    void SetUp() override {
        BranchImportTest::SetUp();
        book = &addTemplate(kTemplate, 2);
        book->appendTextRow(1, {QStringLiteral("项目类型名称"), QStringLiteral("项目编码")});
        book->appendTextRow(2, {QStringLiteral("商品类型名称"), QStringLiteral("商品编码")});
    }
    QString itemText(const QString& code, const QString& expression) {
        return text(
            QStringLiteral("SELECT %1 FROM CY_DishDetail WHERE DishSN='%2'").arg(expression, code));
    }
    QString goodsText(const QString& code, const QString& expression) {
        return text(
            QStringLiteral("SELECT %1 FROM CK_Goods WHERE GoodsID='%2'").arg(expression, code));
    }
    QString priceText(const QString& code, const QString& expression) {
        return text(QStringLiteral("SELECT %1 FROM CK_WaterPrice WHERE GoodsID='%2'")
                        .arg(expression, code));
    }

    MemoryWorkbook* book = nullptr;
};

TEST_P(ItemsGoodsTest, ItemDefaultsAndFlags) {
    book->appendTextRow(1, item(QStringLiteral("F1")));
    book->appendTextRow(1, changed(item(QStringLiteral("E1")), {{5, QString()},
                                                                {6, QString()},
                                                                {7, QStringLiteral("Y")},
                                                                {8, QStringLiteral("yes")},
                                                                {9, QString()},
                                                                {10, QString()},
                                                                {11, QString()},
                                                                {12, QString()},
                                                                {14, QString()},
                                                                {18, QString()}}));
    ASSERT_EQ(run(ImportKind::ItemsGoods), RunOutcome::Completed)
        << observer.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(observer.messages, (QStringList{kItemsDone, kGoodsDone}));
    EXPECT_TRUE(observer.captions.contains(QStringLiteral("当前第1记录,项目编码：F1")));

    const QString sums = QStringLiteral("Chengben + Price + TimeMuch + ShiftNumber + "
                                        "AddClockMinute + SaleTcMoney");
    EXPECT_EQ(itemText(QStringLiteral("E1"), sums).toDouble(), 0.0);
    EXPECT_EQ(itemText(QStringLiteral("E1"), QStringLiteral("LowerAgioRate")).toDouble(), 1.0);
    EXPECT_EQ(itemText(QStringLiteral("E1"), QStringLiteral("isGive || isNeedRoom || isTime")),
              QStringLiteral("nnn"));
    EXPECT_EQ(itemText(QStringLiteral("F1"), sums).toDouble(), 20 + 98 + 60 + 2 + 30 + 10.0);
    EXPECT_EQ(itemText(QStringLiteral("F1"), QStringLiteral("LowerAgioRate")).toDouble(), 0.8);
    EXPECT_EQ(itemText(QStringLiteral("F1"),
                       QStringLiteral("isGive || isNeedRoom || isTime || isSaleTc || "
                                      "IsMarketPrice || isJiFen || IsAgio")),
              QStringLiteral("yyyyyyy"));
    // The unit name, not a unit key; the branch number.
    EXPECT_EQ(itemText(QStringLiteral("F1"), QStringLiteral("UnitID || HotelID || DishName")),
              QStringLiteral("位0101项目F1"));
}

TEST_P(ItemsGoodsTest, ItemTypesAndUnitsAreReconciled) {
    exec(QStringLiteral("INSERT INTO Sys_Unit (UnitID, UnitName) VALUES ('U1', 'KG')"));
    exec(QStringLiteral("INSERT INTO CY_DishType (DishTypeSN, DishTypeName) VALUES ('OLDT', "
                        "'按摩')"));
    book->appendTextRow(1,
                        item(QStringLiteral("A1"), QStringLiteral("足疗"), QStringLiteral("kg")));
    book->appendTextRow(1,
                        item(QStringLiteral("A2"), QStringLiteral("足疗"), QStringLiteral("钟")));
    book->appendTextRow(1,
                        item(QStringLiteral("A3"), QStringLiteral("足疗"), QStringLiteral("钟")));
    book->appendTextRow(2,
                        goods(QStringLiteral("G1"), QStringLiteral("饮料"), QStringLiteral("钟")));
    book->appendTextRow(2,
                        goods(QStringLiteral("G2"), QStringLiteral("饮料"), QStringLiteral("瓶")));
    ASSERT_EQ(run(ImportKind::ItemsGoods), RunOutcome::Completed)
        << observer.errors.join(QLatin1Char('\n')).toStdString();

    // One new item type, its key written into the new items; the existing one left alone.
    EXPECT_EQ(count(QStringLiteral("CY_DishType")), 2);
    const QString type =
        text(QStringLiteral("SELECT DishTypeSN FROM CY_DishType WHERE DishTypeName='足疗'"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^DR\\d{9}$")).match(type).hasMatch())
        << type.toStdString();
    EXPECT_EQ(count(QStringLiteral("CY_DishDetail"), QStringLiteral("DishTypeSN='%1'").arg(type)),
              3);
    EXPECT_EQ(count(QStringLiteral("CY_DishType"),
                    QStringLiteral("DishTypeName='足疗' AND isSystem='n' AND MokuanID='SN' AND "
                                   "ShowOrder=0 AND ParentDishTypeSN=''")),
              1);

    // "kg" is the existing "KG"; 钟 is created once, by the items, and found again by the goods;
    // 瓶 is created by the goods. Every new unit gets a generated key of nine digits.
    EXPECT_EQ(column(QStringLiteral("SELECT UnitName FROM Sys_Unit ORDER BY rowid")),
              (QStringList{QStringLiteral("KG"), QStringLiteral("钟"), QStringLiteral("瓶")}));
    const QStringList keys = column(QStringLiteral("SELECT UnitID FROM Sys_Unit WHERE UnitID <> "
                                                   "'U1' ORDER BY rowid"));
    ASSERT_EQ(keys.size(), 2);
    EXPECT_NE(keys.at(0), keys.at(1));
    for (const QString& key : keys)
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{9}$")).match(key).hasMatch())
            << key.toStdString();
    EXPECT_EQ(count(QStringLiteral("Sys_Unit"),
                    QStringLiteral("MokuanID='SN' AND isTransfer='n' AND isBackup='n'")),
              2);
    // Items and goods keep the unit's name.
    EXPECT_EQ(itemText(QStringLiteral("A1"), QStringLiteral("UnitID")), QStringLiteral("kg"));
}

TEST_P(ItemsGoodsTest, GoodsRowReadsBackPriceAndUnitAndWritesItsPriceRow) {
    book->appendTextRow(2, goods(QStringLiteral("G1")));
    book->appendTextRow(2, changed(goods(QStringLiteral("G2")), {{5, QString()},
                                                                 {6, QString()},
                                                                 {7, QStringLiteral("N")},
                                                                 {9, QString()},
                                                                 {13, QString()}}));
    ASSERT_EQ(run(ImportKind::ItemsGoods), RunOutcome::Completed)
        << observer.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(observer.messages, (QStringList{kItemsDone, kGoodsDone}));

    const QString g1 = QStringLiteral("G1");
    EXPECT_EQ(goodsText(g1, QStringLiteral("Price")).toDouble(), 8.5);
    EXPECT_EQ(count(QStringLiteral("CK_Goods"),
                    QStringLiteral("GoodsID='G1' AND NowSalePrice=Price AND NowBuyPrice=Price AND "
                                   "NowAvgPrice=Price AND HighPrice=Price AND LowerPrice=Price AND "
                                   "HighNumber=10000 AND LowerNumber=1000 AND InToKcBL=1")),
              1);
    EXPECT_EQ(goodsText(g1, QStringLiteral("UnitID || InUnitID || GoodsName || GoodsTypeName")),
              QStringLiteral("瓶瓶商品G1饮料"));
    EXPECT_EQ(priceText(g1, QStringLiteral("HotelID || MokuanID || isGive || isSaleTc || "
                                           "isMarketPrice || isJiFen || isAgio || isTransfer")),
              QStringLiteral("0101SNyyyyyn"));
    EXPECT_EQ(priceText(g1, QStringLiteral("Price + SaleTcMoney + LowerAgioRate")).toDouble(),
              8.5 + 1 + 0.9);

    const QString g2 = QStringLiteral("G2");
    EXPECT_EQ(
        goodsText(g2, QStringLiteral("ChengBen + Price + NowSalePrice + LowerPrice")).toDouble(),
        0.0);
    EXPECT_EQ(priceText(g2, QStringLiteral("LowerAgioRate")).toDouble(), 1.0);
    EXPECT_EQ(priceText(g2, QStringLiteral("SaleTcMoney")).toDouble(), 0.0);
    EXPECT_EQ(priceText(g2, QStringLiteral("isGive")), QStringLiteral("n"));

    // The goods type: "0000" and the last four of the nine time digits (13:04:05.123).
    EXPECT_EQ(text(QStringLiteral("SELECT GoodsTypeID FROM CK_GoodsType")),
              QStringLiteral("00005123"));
    EXPECT_EQ(count(QStringLiteral("CK_Goods"), QStringLiteral("GoodsTypeID='00005123'")), 2);
    EXPECT_EQ(count(QStringLiteral("CK_GoodsType"),
                    QStringLiteral("TypeFlag='YJL' AND isSystem='y' AND isCpPrint='n'")),
              1);
}

TEST_P(ItemsGoodsTest, KnownCodesAreSkippedInAnyLetterCase) {
    exec(QStringLiteral("INSERT INTO CY_DishDetail (DishSN, DishTypeSN, DishTypeName, UnitID) "
                        "VALUES ('zl1', 'T', '足疗', '位')"));
    exec(QStringLiteral("INSERT INTO CK_Goods (GoodsID, GoodsTypeID, GoodsTypeName, UnitID) "
                        "VALUES ('yl1', 'G', '饮料', '瓶')"));
    book->appendTextRow(1, item(QStringLiteral("ZL1")));
    book->appendTextRow(1, item(QStringLiteral("zl2")));
    book->appendTextRow(1, item(QStringLiteral("ZL2")));
    book->appendTextRow(2, goods(QStringLiteral("YL1")));
    book->appendTextRow(2, goods(QStringLiteral("yl2")));
    book->appendTextRow(2, goods(QStringLiteral("YL2")));
    ASSERT_EQ(run(ImportKind::ItemsGoods), RunOutcome::Completed);
    EXPECT_EQ(column(QStringLiteral("SELECT DishSN FROM CY_DishDetail ORDER BY rowid")),
              (QStringList{QStringLiteral("zl1"), QStringLiteral("zl2")}));
    EXPECT_EQ(column(QStringLiteral("SELECT GoodsID FROM CK_Goods ORDER BY rowid")),
              (QStringList{QStringLiteral("yl1"), QStringLiteral("yl2")}));
    // A known goods code gets no price row, although it has none yet.
    EXPECT_EQ(column(QStringLiteral("SELECT GoodsID FROM CK_WaterPrice")),
              QStringList{QStringLiteral("yl2")});
}

TEST_P(ItemsGoodsTest, BadItemWritesNothingOfEitherWorksheet) {
    for (const QString& code : {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")})
        book->appendTextRow(1, item(code));
    book->appendTextRow(1, changed(item(QStringLiteral("D")), {{2, QString()}, {4, QString()}}));
    book->appendTextRow(2, goods(QStringLiteral("G1")));
    EXPECT_EQ(run(ImportKind::ItemsGoods), RunOutcome::RowCheckFailed);
    EXPECT_EQ(observer.messages, QStringList{QStringLiteral("第5行的项目编码不能为空!")});
    EXPECT_EQ(count(QStringLiteral("CY_DishDetail")) + count(QStringLiteral("CK_Goods")) +
                  count(QStringLiteral("Sys_Unit")),
              0);
}

TEST_P(ItemsGoodsTest, BadGoodsAfterGoodItemsKeepsTheItems) {
    book->appendTextRow(1, item(QStringLiteral("A")));
    book->appendTextRow(2, goods(QStringLiteral("G1"), QStringLiteral("酒水")));
    book->appendTextRow(2, changed(goods(QStringLiteral("G2")), {{3, QString()}}));
    EXPECT_EQ(run(ImportKind::ItemsGoods), RunOutcome::RowCheckFailed);
    EXPECT_EQ(observer.messages,
              (QStringList{kItemsDone, QStringLiteral("第3行的项目名称不能为空!")}));
    EXPECT_EQ(count(QStringLiteral("CY_DishDetail")), 1);
    EXPECT_EQ(count(QStringLiteral("CY_DishType")), 1);
    EXPECT_EQ(count(QStringLiteral("Sys_Unit")), 1);
    EXPECT_EQ(count(QStringLiteral("CK_Goods")) + count(QStringLiteral("CK_WaterPrice")) +
                  count(QStringLiteral("CK_GoodsType")),
              0);
}

TEST_P(ItemsGoodsTest, PriceTheColumnRefusesEndsTheClickWithNothingOfTheBlock) {
    book->appendTextRow(1, item(QStringLiteral("A")));
    book->appendTextRow(1, changed(item(QStringLiteral("B")), {{6, QStringLiteral("九十八")}}));
    book->appendTextRow(2, goods(QStringLiteral("G1")));
    EXPECT_EQ(run(ImportKind::ItemsGoods), RunOutcome::Error);
    EXPECT_TRUE(observer.messages.isEmpty());
    EXPECT_EQ(observer.errors.size(), 1);
    EXPECT_EQ(count(QStringLiteral("CY_DishDetail")) + count(QStringLiteral("CK_Goods")), 0);
}

TEST_P(ItemsGoodsTest, TemplateWithoutGoodsWorksheetFailsAfterTheItems) {
    auto single = std::make_shared<MemoryWorkbook>(kTemplate, 1);
    single->appendTextRow(1, {QStringLiteral("header")});
    single->appendTextRow(1, item(QStringLiteral("A")));
    templates.insert(kTemplate, single);
    EXPECT_EQ(run(ImportKind::ItemsGoods), RunOutcome::Error);
    EXPECT_EQ(observer.messages, QStringList{kItemsDone});
    EXPECT_EQ(observer.errors.size(), 1);
    EXPECT_EQ(count(QStringLiteral("CY_DishDetail")), 1);
    EXPECT_EQ(count(QStringLiteral("CY_DishType")), 1);
}

INSTANTIATE_TEST_SUITE_P(Schemas, ItemsGoodsTest,
                         ::testing::Values(BranchFlavour::Branch, BranchFlavour::Loose),
                         flavourName);

} // namespace
} // namespace kestrel::test
