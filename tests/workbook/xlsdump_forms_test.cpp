// kestrel-xlsdump cannot tell a workbook's .xls, .xlsx and .ods forms apart: each written by
// another program's library, all three print the same lines.
#include "test_paths.h"
#include "workbook_forms.h"

#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kestrel::test {
namespace {

QByteArray dumpOf(const QString& path) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("zh_CN.UTF-8"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("zh_CN.UTF-8"));
    process.setProcessEnvironment(env);
    process.start(binDir() + QStringLiteral("/kestrel-xlsdump"), {path});
    EXPECT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(0, process.exitCode()) << process.readAllStandardError().toStdString();
    return process.readAllStandardOutput();
}

QJsonObject stamp(const char* key, const char* iso) {
    return QJsonObject{{QString::fromLatin1(key), QString::fromLatin1(iso)}};
}

TEST(XlsDumpForms, XlsXlsxAndOdsPrintTheSameLines) {
    const QJsonArray header{QStringLiteral("卡号"), QStringLiteral("金额"), QStringLiteral("日期"),
                            QStringLiteral("时间"), QStringLiteral("启用"), QStringLiteral("备注")};
    const QJsonArray first{QStringLiteral("0012345"),
                           300.5,
                           stamp("date", "2024-02-29"),
                           stamp("datetime", "2024-01-15T10:20:30"),
                           QJsonObject{{QStringLiteral("bool"), true}},
                           QStringLiteral("青雁\t一店")};
    const QJsonArray second{1234567890123456.0,
                            0.000001,
                            stamp("date", "1900-03-01"),
                            {},
                            QJsonObject{{QStringLiteral("bool"), false}},
                            QStringLiteral(" ")};
    const QJsonArray third{{}, -12.25, {}, {}, {}, QStringLiteral("末行")};
    const QJsonObject layout{{QStringLiteral("sheet"), QStringLiteral("充值卡")},
                             {QStringLiteral("rows"), QJsonArray{header, first, second, third}},
                             {QStringLiteral("empty_rows_after"), 1048572}};
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("样本"));
    ASSERT_TRUE(writeWorkbookForms(
        layout, base, {QStringLiteral("xls"), QStringLiteral("xlsx"), QStringLiteral("ods")}));
    const QByteArray xls = dumpOf(base + QStringLiteral(".xls"));
    EXPECT_TRUE(xls.startsWith("rows\t4\n1\t1\ttext\t卡号\n")) << xls.constData();
    EXPECT_TRUE(xls.contains("2\t3\tdate\t2024/2/29\n")) << xls.constData();
    EXPECT_TRUE(xls.contains("3\t1\tnumber\t1.23456789012346E15\n")) << xls.constData();
    EXPECT_EQ(xls, dumpOf(base + QStringLiteral(".xlsx")));
    EXPECT_EQ(xls, dumpOf(base + QStringLiteral(".ods")));
}

} // namespace
} // namespace kestrel::test
