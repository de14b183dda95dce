#include "SettingsStore/AnySerializable.h"
#include "SettingsStore/Prefs.h"
#include "TestTypes.h"
#include "tests/support/Guards.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>

namespace faciward::prefs {
namespace {

using platform::PlistValue;
using Dict = AnySerializable::Dictionary;

TEST(AnySerializable, equalityAndHashFollowTheTypeOrder)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::int64_t big = (std::int64_t{1} << 53) + 1;
    const struct
    {
        const char *what;
        AnySerializable a, b;
        bool equal;
    } cases[] = {
        {"integer and whole double", 1, 1.0, true},
        {"signed and unsigned", 7, 7u, true},
        {"unsigned above int64 and its double", std::uint64_t{1} << 63, 9223372036854775808.0, true},
        {"integer and nearby double", big, static_cast<double>(big), false},
        {"boolean and integer", true, 1, false},
        {"integer and its text", 1, "1", false},
        {"zero and negative zero", 0.0, -0.0, true},
        {"float and double zero", -0.0f, 0.0, true},
        {"NaN and NaN", nan, nan, false},
        {"nothing and nothing", nullptr, nullptr, false},
        {"arrays in the same order", {1, "x", 2.5}, {1.0, "x", 2.5}, true},
        {"arrays in another order", {1, 2}, {2, 1}, false},
        {"dictionaries in any order", Dict{{"a", 1}, {"b", {true, "y"}}}, Dict{{"b", {true, "y"}}, {"a", 1.0}}, true},
        {"dictionaries with another value", Dict{{"a", 1}}, Dict{{"a", 2}}, false},
        {"a date and its number", AnySerializable::from(platform::PlistDate{5}), 5, false},
        {"data", AnySerializable::from(platform::PlistData{1, 2}), AnySerializable::from(platform::PlistData{1, 2}), true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.a == c.b, c.equal);
        EXPECT_EQ(c.b == c.a, c.equal);
        if (c.equal) {
            EXPECT_EQ(std::hash<AnySerializable>{}(c.a), std::hash<AnySerializable>{}(c.b));
        }
    }
}

// Other pointers would pass for the Boolean true; they do not compile.
static_assert(!std::is_convertible_v<const int *, AnySerializable>);
static_assert(!std::is_constructible_v<AnySerializable, const void *>);
static_assert(!std::is_constructible_v<AnySerializable, int *>);
static_assert(std::is_convertible_v<char *, AnySerializable>);
static_assert(std::is_convertible_v<const char32_t *, AnySerializable>);

TEST(AnySerializable, textOfEveryCharacterTypeIsTextAndACharacterIsOneCharacterText)
{
    const std::string mixed = "h\u00e9\u20ac\U0001F600"; // h, é, €, and a character beyond 16 bits
    const struct
    {
        const char *what;
        AnySerializable value;
        std::optional<PlistValue> held;
    } cases[] = {
        {"UTF-8 literal", u8"h\u00e9\u20ac\U0001F600", mixed},
        {"UTF-16 literal, with a surrogate pair", u"h\u00e9\u20ac\U0001F600", mixed},
        {"UTF-32 literal", U"h\u00e9\u20ac\U0001F600", mixed},
        {"wide literal", L"h\u00e9\u20ac\U0001F600", mixed},
        {"empty UTF-32 literal", U"", PlistValue("")},
        {"char", 'a', PlistValue("a")},
        {"UTF-8 char", u8'a', PlistValue("a")},
        {"UTF-16 char", u'\u00e9', PlistValue("\u00e9")},
        {"UTF-32 char", U'\U0001F600', PlistValue("\U0001F600")},
        {"wide char", L'\u20ac', PlistValue("\u20ac")},
        {"signed char is a number", static_cast<signed char>(97), PlistValue(std::int64_t{97})},
        {"unsigned char is a number", std::uint8_t{97}, PlistValue(std::uint64_t{97})},
        {"a byte that is no character alone", static_cast<char>(0xE9), std::nullopt},
        {"UTF-8 cut short", u8"a\xE2\x82", std::nullopt},
        {"overlong UTF-8", u8"\xC0\x80", std::nullopt},
        {"UTF-8 surrogate", u8"\xED\xA0\x80", std::nullopt},
        {"half a surrogate pair", u'\xD800', std::nullopt},
        {"a trailing surrogate first", u"a\xDC00\xD800", std::nullopt},
        {"past the last code point", U"a\x110000", std::nullopt},
        {"negative wide char", static_cast<wchar_t>(-1), std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.value.value(), c.held);
        EXPECT_EQ(c.value.isNil(), !c.held);
    }
}

TEST(AnySerializable, holdsNothingForNilAnAbsentOptionalAFailedConversionAndAnEmptyBridgeInput)
{
    ::testing::internal::CaptureStdout();
    const AnySerializable nils[] = {
        nullptr,
        AnySerializable::from(std::optional<int>()),
        AnySerializable::from(test::Pose{std::nan(""), 0, 0}),
        *AnyBridge{}.deserialize(std::nullopt),
    };
    const std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << "the failed conversion says why, once";
    for (const auto &value : nils)
        EXPECT_TRUE(value.isNil());
    EXPECT_FALSE(AnyBridge{}.serialize(std::nullopt));
}

TEST(AnySerializable, convertsThroughTheBridgesAndAWriteOfNilRemovesTheEntry)
{
    faciward::testing::TempDir dir{"faciward-any"};
    const auto store = std::make_shared<platform::SettingsStore>(dir / "settings.json");
    const Key<AnySerializable> key("any", nullptr, store);
    EXPECT_TRUE(store->dictionaryRepresentation().empty()) << "a nil default registers nothing";

    const auto pose = AnySerializable::from(test::Pose{1, 2, 3});
    EXPECT_EQ(pose.get<test::Pose>(), (test::Pose{1, 2, 3}));
    ASSERT_TRUE(Prefs::set(key, pose));
    EXPECT_EQ(store->object("any"), PlistValue(R"({"yaw":1,"roll":2,"pitch":3})"));
    EXPECT_EQ(Prefs::get(key), pose);

    ASSERT_TRUE(Prefs::set(key, AnySerializable(nullptr)));
    EXPECT_FALSE(store->object("any"));
}

static_assert(std::is_constructible_v<Key<AnySerializable>, std::string, std::shared_ptr<platform::SettingsStore>>);
static_assert(!std::is_constructible_v<Key<int>, std::string, std::shared_ptr<platform::SettingsStore>>,
              "only a type with a value that holds nothing goes without a default");

TEST(AnySerializable, aKeyWithoutADefaultReadsWhatIsStoredAndNothingWhenThereIsNoEntry)
{
    faciward::testing::TempDir dir{"faciward-any"};
    const auto store = std::make_shared<platform::SettingsStore>(dir / "settings.json");
    const Key<AnySerializable> key("any", store);
    EXPECT_TRUE(key.defaultValue().isNil());
    EXPECT_FALSE(store->objectSnapshot("any")) << "nothing is registered";
    const struct
    {
        const char *what;
        AnySerializable written;
        std::optional<PlistValue> stored;
    } cases[] = {
        {"a number", 5, PlistValue(5)},
        {"text", "five", PlistValue("five")},
        {"an array", {1, "two"}, PlistValue(platform::PlistArray{1, "two"})},
        {"nothing", nullptr, std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(Prefs::set(key, c.written));
        EXPECT_EQ(store->object("any"), c.stored);
        const AnySerializable read = Prefs::get(key);
        EXPECT_EQ(read.value(), c.stored);
    }
}

TEST(AnySerializableDeathTest, aDictionaryLiteralGivingAKeyTwiceStopsTheProgram)
{
    EXPECT_DEATH(Dict({{"a", 1}, {"a", 2}}), "the key \"a\" twice");
}

} // namespace
} // namespace faciward::prefs
