#include "SettingsStore/AnySerializable.h"
#include "SettingsStore/Prefs.h"
#include "TestTypes.h"
#include "tests/support/Guards.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

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

TEST(AnySerializableDeathTest, aDictionaryLiteralGivingAKeyTwiceStopsTheProgram)
{
    EXPECT_DEATH(Dict({{"a", 1}, {"a", 2}}), "the key \"a\" twice");
}

} // namespace
} // namespace faciward::prefs
