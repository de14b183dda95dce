#include "Platform/Settings/PlistCast.h"
#include "Platform/Settings/PlistValue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <type_traits>

namespace faciward::platform {
namespace {

// A character is no number ('a' would be 97), and a text literal of another
// character type no Boolean (through its pointer): both are refused at compile
// time. Signed and unsigned char stay small integers.
static_assert(!std::is_constructible_v<PlistValue, char>);
static_assert(!std::is_constructible_v<PlistValue, wchar_t>);
static_assert(!std::is_constructible_v<PlistValue, char8_t>);
static_assert(!std::is_constructible_v<PlistValue, char32_t>);
static_assert(!std::is_constructible_v<PlistValue, const char8_t *>);
static_assert(!std::is_constructible_v<PlistValue, const char16_t *>);
static_assert(!std::is_constructible_v<PlistValue, const wchar_t *>);
static_assert(!std::is_constructible_v<PlistValue, const int *>);
static_assert(std::is_constructible_v<PlistValue, const char *>);
static_assert(std::is_constructible_v<PlistValue, unsigned char>);
static_assert(std::is_constructible_v<PlistValue, signed char>);

TEST(PlistValue, smallIntegersKeepTheirSignednessAndLiteralsAreText)
{
    EXPECT_EQ(PlistValue(static_cast<unsigned char>(200)), PlistValue(std::uint64_t{200}));
    EXPECT_EQ(PlistValue(static_cast<signed char>(-5)), PlistValue(std::int64_t{-5}));
    EXPECT_EQ(PlistValue("a").type(), PlistValue::Type::string);
}

TEST(PlistCast, integersTakeOnlyWholeNumbersInRange)
{
    EXPECT_EQ(PlistCast<std::int64_t>::cast(PlistValue(7)), 7);
    EXPECT_EQ(PlistCast<std::int64_t>::cast(PlistValue(7.0)), 7);
    EXPECT_EQ(PlistCast<std::int64_t>::cast(PlistValue(7u)), 7);
    EXPECT_FALSE(PlistCast<std::int64_t>::cast(PlistValue(7.5)));
    EXPECT_FALSE(PlistCast<std::int64_t>::cast(PlistValue("7")));
    EXPECT_FALSE(PlistCast<std::int64_t>::cast(PlistValue(std::numeric_limits<std::uint64_t>::max())));
    EXPECT_FALSE(PlistCast<std::int64_t>::cast(PlistValue(0x1p63)));
    EXPECT_EQ(PlistCast<std::int64_t>::cast(PlistValue(-0x1p63)), std::numeric_limits<std::int64_t>::min());
    EXPECT_FALSE(PlistCast<std::int64_t>::cast(PlistValue(std::numeric_limits<double>::quiet_NaN())));

    EXPECT_FALSE(PlistCast<std::uint64_t>::cast(PlistValue(-1)));
    EXPECT_FALSE(PlistCast<std::uint64_t>::cast(PlistValue(-1.0)));
    EXPECT_EQ(PlistCast<std::uint64_t>::cast(PlistValue(0x1p63)), 0x8000000000000000u);
    EXPECT_FALSE(PlistCast<std::uint64_t>::cast(PlistValue(0x1p64)));
    EXPECT_EQ(PlistCast<std::int32_t>::cast(PlistValue(2147483647.0)), 2147483647);
    EXPECT_FALSE(PlistCast<std::int32_t>::cast(PlistValue(2147483648.0)));
    EXPECT_FALSE(PlistCast<std::uint8_t>::cast(PlistValue(256)));
}

TEST(PlistCast, booleansDoublesAndTextFollowTheStoresNumberBridging)
{
    EXPECT_EQ(PlistCast<bool>::cast(PlistValue(true)), true);
    EXPECT_EQ(PlistCast<bool>::cast(PlistValue(1)), true);
    EXPECT_EQ(PlistCast<bool>::cast(PlistValue(0u)), false);
    EXPECT_FALSE(PlistCast<bool>::cast(PlistValue(2)));

    EXPECT_EQ(PlistCast<double>::cast(PlistValue(3)), 3.0);
    EXPECT_EQ(PlistCast<double>::cast(PlistValue(std::int64_t{1} << 53)), 0x1p53);
    EXPECT_FALSE(PlistCast<double>::cast(PlistValue((std::int64_t{1} << 53) + 1)));
    EXPECT_FALSE(PlistCast<double>::cast(PlistValue(std::numeric_limits<std::int64_t>::max())));
    EXPECT_FALSE(PlistCast<float>::cast(PlistValue(1e300)));
    EXPECT_TRUE(std::isinf(*PlistCast<float>::cast(PlistValue(std::numeric_limits<double>::infinity()))));

    EXPECT_FALSE(PlistCast<std::string>::cast(PlistValue(1)));
    EXPECT_FALSE(PlistCast<PlistDate>::cast(PlistValue(1.0)));
}

TEST(PlistCast, booleansAndNumbersCastIntoEachOtherButTextIntoNeither)
{
    const auto none = std::nullopt;
    const struct
    {
        const char *what;
        PlistValue stored;
        std::optional<std::int64_t> asInteger;
        std::optional<double> asDouble;
        std::optional<bool> asBoolean;
    } rows[] = {
        {"true", PlistValue(true), 1, 1.0, true},
        {"false", PlistValue(false), 0, 0.0, false},
        {"1.0", PlistValue(1.0), 1, 1.0, true},
        {"0.0", PlistValue(0.0), 0, 0.0, false},
        {"-0.0", PlistValue(-0.0), 0, -0.0, false},
        {"2.0", PlistValue(2.0), 2, 2.0, none},
        {"0.5", PlistValue(0.5), none, 0.5, none},
        {"1", PlistValue(1), 1, 1.0, true},
        {"unsigned 0", PlistValue(0u), 0, 0.0, false},
        {"-1", PlistValue(-1), -1, -1.0, none},
        {"the text 1", PlistValue("1"), none, none, none},
        {"the text true", PlistValue("true"), none, none, none},
        {"a date", PlistValue(PlistDate{1.0}), none, none, none},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(PlistCast<std::int64_t>::cast(row.stored), row.asInteger);
        EXPECT_EQ(PlistCast<double>::cast(row.stored), row.asDouble);
        EXPECT_EQ(PlistCast<bool>::cast(row.stored), row.asBoolean);
    }
    EXPECT_EQ(PlistCast<std::uint8_t>::cast(PlistValue(true)), 1);
    EXPECT_EQ(PlistCast<std::uint64_t>::cast(PlistValue(false)), 0u);
    EXPECT_EQ(PlistCast<float>::cast(PlistValue(true)), 1.0f);
    EXPECT_TRUE(std::signbit(*PlistCast<double>::cast(PlistValue(-0.0))));
}

TEST(PlistCast, collectionsCastOnlyWhenEveryElementDoes)
{
    const PlistValue embeddings(PlistArray{PlistValue(PlistArray{PlistValue(0.5), PlistValue(1)})});
    EXPECT_EQ(PlistCast<std::vector<std::vector<double>>>::cast(embeddings),
              (std::vector<std::vector<double>>{{0.5, 1.0}}));
    const PlistValue mixed(PlistArray{PlistValue("a"), PlistValue(1)});
    EXPECT_FALSE(PlistCast<std::vector<std::string>>::cast(mixed));
    EXPECT_FALSE(PlistCast<std::vector<std::string>>::cast(PlistValue("a")));

    const auto made = PlistCast<std::map<std::string, std::int64_t>>::make({{"a", 1}, {"b", 2}});
    EXPECT_EQ(made, PlistValue(PlistDictionary{{"a", PlistValue(1)}, {"b", PlistValue(2)}}));
    using Flags = std::map<std::string, bool>;
    EXPECT_FALSE(PlistCast<Flags>::cast(PlistValue(PlistDictionary{{"a", PlistValue(3)}})));
}

} // namespace
} // namespace faciward::platform
