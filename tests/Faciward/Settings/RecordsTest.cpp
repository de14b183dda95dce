#include "Faciward/Settings/DisableTime.h"
#include "Faciward/Settings/FacePrecision.h"
#include "Faciward/Settings/ImageItem.h"

#include <gtest/gtest.h>

namespace faciward::settings {
namespace {

using platform::Json;
using platform::JsonCoding;
using platform::JsonError;
using platform::JsonException;
using platform::PlistValue;

std::string stored(const auto &value)
{
    auto object = prefs::toSerializable(value);
    return object ? *object->template getIf<std::string>() : "<nothing>";
}

template<class T>
std::optional<T> read(const char *text)
{
    return prefs::toValue<T>(PlistValue(text));
}

TEST(FacePrecision, isStoredAsAnObjectNamedAfterTheCase)
{
    EXPECT_EQ(stored(FacePrecision::low), R"({"low":{}})");
    EXPECT_EQ(stored(FacePrecision::medium), R"({"medium":{}})");
    EXPECT_EQ(stored(FacePrecision::high), R"({"high":{}})");
    for (FacePrecision precision : allFacePrecisions)
        EXPECT_EQ(read<FacePrecision>(stored(precision).c_str()), precision);
}

TEST(FacePrecision, decodingCountsOnlyTheThreeCaseNames)
{
    EXPECT_EQ(read<FacePrecision>(R"({"high":{"x":1}})"), FacePrecision::high);
    EXPECT_EQ(read<FacePrecision>(R"({"low":{},"note":5})"), FacePrecision::low);
    for (const char *text : {R"({"low":{},"high":{}})", "{}", R"({"Low":{}})"}) {
        try {
            JsonCoding<FacePrecision>::decode(Json::decode(text));
            ADD_FAILURE() << text << " decoded";
        } catch (const JsonException &e) {
            EXPECT_EQ(e.error(), JsonError::typeMismatch);
            EXPECT_EQ(e.description(), "Invalid number of keys found, expected one.");
        }
        EXPECT_FALSE(read<FacePrecision>(text));
    }
    for (const char *text : {R"({"low":1})", "[]", R"("low")"}) {
        try {
            JsonCoding<FacePrecision>::decode(Json::decode(text));
            ADD_FAILURE() << text << " decoded";
        } catch (const JsonException &e) {
            EXPECT_NE(e.description(), "Invalid number of keys found, expected one.") << text;
        }
    }
}

TEST(FacePrecision, thresholdsAreTheDoublesOfTheirDecimalsAndMatchStrictly)
{
    EXPECT_EQ(similarityThreshold(FacePrecision::low), 0.6);
    EXPECT_EQ(similarityThreshold(FacePrecision::medium), 0.7);
    EXPECT_EQ(threshold(FacePrecision::high), 0.8);
    EXPECT_FALSE(0.7 > threshold(FacePrecision::medium));
    EXPECT_TRUE(0.6000000000000001 > threshold(FacePrecision::low));
    EXPECT_EQ(title(FacePrecision::low), "Low");
    EXPECT_EQ(title(FacePrecision::medium), "Medium");
    EXPECT_EQ(title(FacePrecision::high), "High");
    EXPECT_EQ(allFacePrecisions, (std::array{FacePrecision::low, FacePrecision::medium, FacePrecision::high}));
}

const auto newYear2024 = std::chrono::system_clock::time_point(std::chrono::seconds(1704067200));

TEST(DisableTime, isStoredWithItsMembersInOrderAndNoDurationWhenAbsent)
{
    EXPECT_EQ(stored(DisableTime{newYear2024, 30, DisableTime::State::time}),
              R"({"startDate":725760000,"duration":30,"state":0})");
    EXPECT_EQ(stored(DisableTime{newYear2024, std::nullopt, DisableTime::State::untilTomorrow}),
              R"({"startDate":725760000,"state":1})");
    EXPECT_EQ(stored(DisableTime::State::untilTomorrow), "1");
    EXPECT_EQ(prefs::toValue<DisableTime::State>(PlistValue("0")), DisableTime::State::time);
}

TEST(DisableTime, readsBackExactlyWithSubSecondStartDates)
{
    const DisableTime period{newYear2024 + std::chrono::milliseconds(250), 5, DisableTime::State::time};
    EXPECT_EQ(stored(period), R"({"startDate":725760000.25,"duration":5,"state":0})");
    EXPECT_EQ(read<DisableTime>(stored(period).c_str()), period);
    const auto noDuration = read<DisableTime>(R"({"startDate":725760000,"state":1})");
    ASSERT_TRUE(noDuration);
    EXPECT_EQ(noDuration->duration, std::nullopt);
    EXPECT_EQ(noDuration->state, DisableTime::State::untilTomorrow);
    EXPECT_EQ(noDuration->startDate, newYear2024);
}

TEST(DisableTime, decodingIsStrict)
{
    for (const char *text : {
             R"({"startDate":0,"duration":30,"state":2})",
             R"({"startDate":0,"duration":30,"state":-1})",
             R"({"startDate":0,"duration":30,"state":true})",
             R"({"startDate":0,"duration":-1,"state":0})",
             R"({"startDate":0,"duration":7.5,"state":0})",
             R"({"startDate":0,"duration":true,"state":0})",
             R"({"startDate":0,"duration":"30","state":0})",
             R"({"startDate":0,"duration":9223372036854775808,"state":0})",
             R"({"startDate":"now","state":0})",
             R"({"startDate":1e300,"state":0})",
             R"({"duration":30,"state":0})",
             R"({"startDate":0,"duration":30})",
         })
        EXPECT_FALSE(read<DisableTime>(text)) << text;
    EXPECT_EQ(read<DisableTime>(R"({"startDate":0,"duration":30.0,"state":0})")->duration, 30);
}

TEST(DisableTime, aNegativeDurationDoesNotEncode)
{
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(stored(DisableTime{newYear2024, -1, DisableTime::State::time}), "<nothing>");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "invalidValue: A disable period cannot last -1 minutes. (at [0].duration)\n");
}

TEST(ImageItem, isStoredWithKeyThenUrlAndEscapedSlashes)
{
    const ImageItem item{"2025-12-06 15.04.05", "file:///home/u/Documents/standard/2025-12-06%2015.04.05.png"};
    EXPECT_EQ(stored(item),
              R"({"key":"2025-12-06 15.04.05","url":"file:\/\/\/home\/u\/Documents\/standard\/2025-12-06%2015.04.05.png"})");
    EXPECT_EQ(read<ImageItem>(stored(item).c_str()), item);
    EXPECT_EQ(read<ImageItem>(R"({"url":"file:///a.png","extra":[1],"key":"k"})"), (ImageItem{"k", "file:///a.png"}));
    EXPECT_FALSE(read<ImageItem>(R"({"key":"k"})"));
    EXPECT_FALSE(read<ImageItem>(R"({"key":1,"url":"u"})"));
}

} // namespace
} // namespace faciward::settings
