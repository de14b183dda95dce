#include "SettingsStore/PrefsSerializable.h"
#include "TestTypes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace faciward::prefs {
namespace {

using platform::PlistValue;
using test::Pose;

template<class T>
std::optional<T> fromText(const char *text)
{
    return toValue<T>(PlistValue(text));
}

TEST(CodableBridge, storesTheJsonTextOfTheBareValue)
{
    EXPECT_EQ(toSerializable(Pose{1, 2, 3}), PlistValue(R"({"yaw":1,"roll":2,"pitch":3})"));
    EXPECT_EQ(fromText<Pose>(R"({"yaw":1,"roll":2.5,"pitch":3})"), (Pose{1, 2.5, 3}));
    // Natively supported types read a text holding their JSON form.
    EXPECT_EQ(TopLevelCodableBridge<std::string>{}.serialize(std::string("a/b")), R"("a\/b")");
    EXPECT_EQ(TopLevelCodableBridge<std::int64_t>{}.serialize(7), "7");
    EXPECT_EQ(TopLevelCodableBridge<double>{}.serialize(2.0), "2");
}

TEST(CodableBridge, readingWrapsTheTextInBracketsTakesTheFirstElementAndIsStrict)
{
    EXPECT_EQ(fromText<std::int64_t>("1,2"), 1);
    EXPECT_EQ(fromText<bool>("true"), true);
    EXPECT_EQ(TopLevelCodableBridge<std::string>{}.deserialize(std::string(R"("x")")), "x");
    EXPECT_EQ(toValue<std::int64_t>(PlistValue(7)), 7);
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(fromText<Pose>(""));
    EXPECT_FALSE(fromText<Pose>("{not json"));
    EXPECT_FALSE(fromText<Pose>(R"({"yaw":1})"));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << "decoding failures are silent";
    for (const char *bad : {R"(1,"x")", "][", "7.5", "true"}) // every element must decode, numbers strictly
        EXPECT_FALSE(fromText<std::int64_t>(bad)) << bad;
    EXPECT_FALSE(fromText<std::uint64_t>("-1"));
    EXPECT_FALSE(fromText<std::uint32_t>("4294967296"));
    EXPECT_FALSE(fromText<bool>("1"));
    // Stored objects of the wrong kind fall back to the bridge, which refuses them too.
    EXPECT_FALSE(toValue<std::int64_t>(PlistValue(7.5)));
    EXPECT_FALSE(toValue<std::uint64_t>(PlistValue(-1)));
}

TEST(CodableBridge, anEncodingFailurePrintsOneLineAndGivesNothing)
{
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(toSerializable(Pose{std::numeric_limits<double>::quiet_NaN(), 0, 0}));
    const std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, "invalidValue: Unable to encode the number nan directly in JSON. (at [0].yaw)\n");

    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(TopLevelCodableBridge<std::string>{}.serialize(std::string("bad\xc3")));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "invalidValue: The text is not valid UTF-8. (at [0])\n");
}

TEST(RawRepresentableBridge, storesTheRawValueAndRefusesUnknownOnes)
{
    EXPECT_EQ(toSerializable(test::Colour::green), PlistValue(2));
    EXPECT_EQ(toValue<test::Colour>(PlistValue(1)), test::Colour::red);
    EXPECT_FALSE(toValue<test::Colour>(PlistValue(3)));
    EXPECT_FALSE(toValue<test::Colour>(PlistValue("1")));
}

} // namespace
} // namespace faciward::prefs
