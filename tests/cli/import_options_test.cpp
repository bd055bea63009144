// The command line of kestrel-import, parsed without running anything.
#include "cli/import_options.h"

#include <gtest/gtest.h>

namespace kestrel::cli {
namespace {

ParsedOptions parse(const QStringList& arguments) {
    return parseImportOptions(arguments, QStringLiteral("/opt/kestrel"));
}

TEST(ImportOptions, DefaultsAndOrderOfImports) {
    const ParsedOptions parsed =
        parse({QStringLiteral("employees"), QStringLiteral("stored-value")});
    ASSERT_TRUE(parsed.error.isEmpty());
    EXPECT_EQ(parsed.options.dir, QStringLiteral("/opt/kestrel"));
    EXPECT_EQ(parsed.options.imports,
              (QStringList{QStringLiteral("employees"), QStringLiteral("stored-value")}));
    EXPECT_FALSE(parsed.options.checkOnly);
    EXPECT_FALSE(parsed.options.anyIdentityOption());
}

TEST(ImportOptions, ValuesSeparateOrAfterEqualsSignKeepTheirBlanks) {
    const ParsedOptions parsed =
        parse({QStringLiteral("--dir=/srv/branch 7"), QStringLiteral("--hotel-name"),
               QStringLiteral(" 青雁 一店 "), QStringLiteral("--hotel-id="),
               QStringLiteral("--check"), QStringLiteral("points")});
    ASSERT_TRUE(parsed.error.isEmpty()) << parsed.error.toStdString();
    EXPECT_EQ(parsed.options.dir, QStringLiteral("/srv/branch 7"));
    EXPECT_EQ(parsed.options.hotelName, QStringLiteral(" 青雁 一店 "));
    // Given but empty is still given: it stands in for an empty edit box.
    ASSERT_TRUE(parsed.options.hotelId.has_value());
    EXPECT_TRUE(parsed.options.hotelId->isEmpty());
    EXPECT_FALSE(parsed.options.hotelTreeId.has_value());
    EXPECT_TRUE(parsed.options.checkOnly);
}

TEST(ImportOptions, AnOptionValueMayLookLikeAnOption) {
    const ParsedOptions parsed = parse(
        {QStringLiteral("--hotel-name"), QStringLiteral("--check"), QStringLiteral("points")});
    ASSERT_TRUE(parsed.error.isEmpty());
    EXPECT_EQ(parsed.options.hotelName, QStringLiteral("--check"));
    EXPECT_FALSE(parsed.options.checkOnly);
}

TEST(ImportOptions, RecordSummaryAndVerify) {
    const ParsedOptions recorded = parse({QStringLiteral("--record=out.json"),
                                          QStringLiteral("--summary"), QStringLiteral("points")});
    ASSERT_TRUE(recorded.error.isEmpty()) << recorded.error.toStdString();
    EXPECT_EQ(recorded.options.recordFile, QStringLiteral("out.json"));
    EXPECT_TRUE(recorded.options.summary);
    EXPECT_FALSE(recorded.options.verify);
    const ParsedOptions verify = parse({QStringLiteral("--verify"), QStringLiteral("points")});
    ASSERT_TRUE(verify.error.isEmpty());
    EXPECT_TRUE(verify.options.verify);
}

TEST(ImportOptions, UsageErrors) {
    const QList<QStringList> bad{
        {},
        {QStringLiteral("--check")},
        {QStringLiteral("--dir")},
        {QStringLiteral("--dir="), QStringLiteral("points")},
        {QStringLiteral("--verbose"), QStringLiteral("points")},
        {QStringLiteral("--check=yes"), QStringLiteral("points")},
        {QStringLiteral("--hotel-id"), QStringLiteral("1"), QStringLiteral("--hotel-id=2"),
         QStringLiteral("points")},
        {QStringLiteral("--record="), QStringLiteral("points")},
        {QStringLiteral("--record"), QStringLiteral("a"), QStringLiteral("--record"),
         QStringLiteral("b"), QStringLiteral("points")},
        {QStringLiteral("--check"), QStringLiteral("--verify"), QStringLiteral("points")},
        {QStringLiteral("--verify"), QStringLiteral("--summary"), QStringLiteral("points")},
        {QStringLiteral("--check"), QStringLiteral("--record"), QStringLiteral("a"),
         QStringLiteral("points")},
        {QStringLiteral("--summary=yes"), QStringLiteral("points")},
    };
    for (const QStringList& arguments : bad)
        EXPECT_FALSE(parse(arguments).error.isEmpty()) << arguments.join(u' ').toStdString();
}

} // namespace
} // namespace kestrel::cli
