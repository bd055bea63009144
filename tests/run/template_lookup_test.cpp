// Which file an import opens for its template name.
#include "run/template_lookup.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kestrel {
namespace {

const QString kName = QStringLiteral("青雁充值卡模板.xls");

class TemplateLookupTest : public ::testing::Test {
protected:
    void touch(const QString& name) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QString found() { return QDir(dir.path()).relativeFilePath(findTemplate(dir.path(), kName)); }

    QTemporaryDir dir;
};

TEST_F(TemplateLookupTest, TheNamedFileComesFirst) {
    touch(QStringLiteral("青雁充值卡模板.xlsx"));
    touch(kName);
    EXPECT_EQ(kName, found());
}

TEST_F(TemplateLookupTest, OtherFormatsOfTheSameBaseNameInOrder) {
    touch(QStringLiteral("青雁充值卡模板.ods"));
    EXPECT_EQ(QStringLiteral("青雁充值卡模板.ods"), found());
    touch(QStringLiteral("青雁充值卡模板.xlsm"));
    EXPECT_EQ(QStringLiteral("青雁充值卡模板.xlsm"), found());
    touch(QStringLiteral("青雁充值卡模板.xlsx"));
    EXPECT_EQ(QStringLiteral("青雁充值卡模板.xlsx"), found());
}

TEST_F(TemplateLookupTest, NothingThereNamesTheFileAskedFor) {
    touch(QStringLiteral("其他模板.xlsx"));
    touch(QStringLiteral("青雁充值卡模板.csv"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("青雁充值卡模板.xlsx"))); // a folder
    EXPECT_EQ(kName, found());
}

} // namespace
} // namespace kestrel
