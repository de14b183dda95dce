#include "Platform/Settings/JsonException.h"
#include "Platform/Settings/SettingsFile.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

namespace faciward::platform {
namespace {

using Values = SettingsFile::Values;

Values valuesOf(std::initializer_list<std::pair<const char *, PlistValue>> entries)
{
    Values values;
    for (const auto &[key, value] : entries)
        values.emplace(key, std::make_shared<const PlistValue>(value));
    return values;
}

void expectIdentical(const Values &a, const Values &b)
{
    ASSERT_EQ(a.size(), b.size());
    for (auto x = a.begin(), y = b.begin(); x != a.end(); ++x, ++y) {
        EXPECT_EQ(x->first, y->first);
        EXPECT_TRUE(x->second->isIdentical(*y->second)) << "value of " << x->first << " changed";
    }
}

TEST(SettingsFile, everyValueKeepsItsExactTypeAndBits)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double payloadNan = std::bit_cast<double>(std::uint64_t{0x7ff0000000000123});
    const auto values = valuesOf({
        {"bool", PlistValue(false)},
        {"int", PlistValue(std::numeric_limits<std::int64_t>::min())},
        {"uintSmall", PlistValue(std::uint64_t{0})},
        {"uintLarge", PlistValue(std::numeric_limits<std::uint64_t>::max())},
        {"doubles", PlistValue(PlistArray{PlistValue(0.1), PlistValue(-0.0), PlistValue(1e300), PlistValue(5e-324),
                                          PlistValue(nan), PlistValue(-nan), PlistValue(inf), PlistValue(-inf),
                                          PlistValue(payloadNan), PlistValue(42.0)})},
        {"text", PlistValue("Zoë \"quoted\" \\ / \n")},
        {"data", PlistValue(PlistData{0, 1, 2, 255})},
        {"emptyData", PlistValue(PlistData{})},
        {"date", PlistValue(PlistDate{725760000.123456})},
        {"nanDate", PlistValue(PlistDate{nan})},
        {"nested", PlistValue(PlistDictionary{
                       {"looksLikeTag", PlistValue(PlistDictionary{{"$uint64", PlistValue(5)}})},
                       {"dollarDict", PlistValue(PlistDictionary{{"$dict", PlistValue(PlistDictionary{})}})},
                       {"two", PlistValue(PlistDictionary{{"$a", PlistValue(1)}, {"$b", PlistValue(2)}})},
                       {"empty", PlistValue(PlistDictionary{})},
                       {"list", PlistValue(PlistArray{})},
                   })},
    });
    const auto text = SettingsFile::serialize(values);
    expectIdentical(SettingsFile::parse(text), values);
    // Written twice, the same text: nothing drifts on repeated saves.
    EXPECT_EQ(SettingsFile::serialize(SettingsFile::parse(text)), text);
}

TEST(SettingsFile, refusesTextThatIsNotUtf8)
{
    EXPECT_THROW(SettingsFile::serialize(valuesOf({{"k", PlistValue("\xff")}})), JsonException);
    EXPECT_THROW(SettingsFile::serialize(valuesOf({{"k\xff", PlistValue(1)}})), JsonException);
}

TEST(SettingsFile, refusesWhatIsNotASettingsFile)
{
    const char *bad[] = {
        "",
        "[]",
        "{}",
        R"({"formatVersion":2,"values":{}})",
        R"({"formatVersion":"1","values":{}})",
        R"({"formatVersion":1})",
        R"({"formatVersion":1,"values":[]})",
        R"({"formatVersion":1,"values":{"k":null}})",
        R"({"formatVersion":1,"values":{"k":[1,null]}})",
        R"({"formatVersion":1,"values":{"k":{"$uint64":-1}}})",
        R"({"formatVersion":1,"values":{"k":{"$uint64":1.5}}})",
        R"({"formatVersion":1,"values":{"k":{"$double":"zero"}}})",
        R"({"formatVersion":1,"values":{"k":{"$double":"nan:0000000000000001"}}})",
        R"({"formatVersion":1,"values":{"k":{"$data":"***"}}})",
        R"({"formatVersion":1,"values":{"k":{"$date":"today"}}})",
        R"({"formatVersion":1,"values":{"k":{"$dict":[]}}})",
        R"({"formatVersion":1,"values":{"k":1})",
    };
    for (const char *text : bad)
        EXPECT_THROW(SettingsFile::parse(text), JsonException) << text;

    std::string deep = R"({"formatVersion":1,"values":{"k":)";
    for (int i = 0; i < 600; ++i)
        deep += '[';
    for (int i = 0; i < 600; ++i)
        deep += ']';
    deep += "}}";
    EXPECT_THROW(SettingsFile::parse(deep), JsonException);
}

} // namespace
} // namespace faciward::platform
