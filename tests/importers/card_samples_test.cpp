// The sample card templates shipped in templates/, read by the .xls reader, imported one after
// the other into the embedded branch schema.
#include "card_import_fixture.h"

#include "test_paths.h"

#include <QFile>

namespace kestrel::test {
namespace {

class CardSamplesTest : public RunFixture {
protected:
    void SetUp() override {
        RunFixture::SetUp();
        createSchema(cardSchema(CardSchema::Branch));
    }

    RunOutcome importSample(const CardLayout& layout) {
        const QString sample = sourceDir() + QStringLiteral("/templates/") + layout.templateFile;
        EXPECT_TRUE(QFile::copy(sample, folder->filePath(layout.templateFile)))
            << sample.toStdString();
        observer = RecordingObserver();
        RunContext context(*database, observer);
        context.templateFolder = folder->path();
        context.identity = identity;
        context.locale = locale;
        const RunOutcome outcome = runImport(layout.kind, context);
        EXPECT_EQ(observer.messages, QStringList{layout.completion})
            << observer.errors.join(QLatin1Char('\n')).toStdString();
        return outcome;
    }
    int templateRows() const { return int(observer.captions.size() / 2); } // both passes
    int logRows(const char* cardTypeId) {
        return count(QStringLiteral("HY_CardValueOpLog"),
                     QStringLiteral("CardTypeID='%1'").arg(QString::fromLatin1(cardTypeId)));
    }
    int group(const char* cardGroupId) {
        return count(QStringLiteral("HY_JiCiCardDetail"),
                     QStringLiteral("CardGroupID='%1'").arg(QString::fromLatin1(cardGroupId)));
    }
};

TEST_F(CardSamplesTest, EachImportsItsRowsOnceAndSkipsItsRepeatedChipNumber) {
    ASSERT_EQ(importSample(pointsLayout()), RunOutcome::Completed);
    const int points = count(QStringLiteral("HY_JFAgioCardDetail"));
    EXPECT_GT(points, 0);
    EXPECT_LT(points, templateRows());
    EXPECT_EQ(logRows("JiFenCard"), points);

    ASSERT_EQ(importSample(treatmentLayout()), RunOutcome::Completed);
    EXPECT_GT(group("JiCiCard"), 0);
    EXPECT_LT(group("JiCiCard"), templateRows());
    EXPECT_EQ(logRows("JiCiCard"), group("JiCiCard"));
    EXPECT_EQ(count(QStringLiteral("HY_JiCiCardLog")), group("JiCiCard"));

    ASSERT_EQ(importSample(timePeriodLayout()), RunOutcome::Completed);
    EXPECT_LT(group("ShiDuanCard"), templateRows());
    EXPECT_EQ(logRows("ShiDuanCard"), group("ShiDuanCard"));
    // The time-period sample repeats a treatment card's number: it is imported all the same.
    EXPECT_GT(count(QStringLiteral("HY_JiCiCardDetail a JOIN HY_JiCiCardDetail b ON "
                                   "a.CardCode = b.CardCode"),
                    QStringLiteral("a.CardGroupID='JiCiCard' AND b.CardGroupID='ShiDuanCard'")),
              0);

    // Replaced flags and defaults of the samples.
    EXPECT_EQ(count(QStringLiteral("HY_JiCiCardDetail"),
                    QStringLiteral("isBlankOut NOT IN ('y','n','g') OR Sex NOT IN ('男','女') OR "
                                   "isSendMsg NOT IN ('y','n')")),
              0);
    EXPECT_GT(count(QStringLiteral("HY_JFAgioCardDetail"), QStringLiteral("CardName=CardCode")), 0);
    EXPECT_EQ(count(QStringLiteral("HY_JFAgioCardDetail"),
                    QStringLiteral("isBlankOut NOT IN ('y','n','g') OR Sex NOT IN ('男','女')")),
              0);
    for (const char* table : {"HY_JFAgioCardDetail", "HY_JiCiCardDetail", "HY_CardValueOpLog"}) {
        const QString key = QString::fromLatin1(table) == QStringLiteral("HY_CardValueOpLog")
                                ? QStringLiteral("CardGroupID")
                                : QStringLiteral("CardTypeID");
        EXPECT_EQ(count(QString::fromLatin1(table), key + QStringLiteral(" = ''")), 0) << table;
    }
}

} // namespace
} // namespace kestrel::test
