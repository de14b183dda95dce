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

TEST(FacePrecision, theCasesInOrderWithTheirTitlesAndThresholds)
{
    struct Case
    {
        FacePrecision precision;
        const char *title;
        double threshold;
    };
    const Case cases[] = {{FacePrecision::low, "Low", 0.6},
                          {FacePrecision::medium, "Medium", 0.7},
                          {FacePrecision::high, "High", 0.8}};
    ASSERT_EQ(allFacePrecisions.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(allFacePrecisions[i], cases[i].precision);
        EXPECT_EQ(title(cases[i].precision), cases[i].title);
        EXPECT_EQ(similarityThreshold(cases[i].precision), cases[i].threshold);
    }
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

TEST(DisableTime, aStoredRecordWithoutDurationDecodesWithTheDurationAbsent)
{
    struct Case
    {
        const char *text;
        DisableTime decoded;
    };
    for (const auto &c : {
             Case{R"({"startDate":725760000,"state":1})", {newYear2024, std::nullopt, DisableTime::State::untilTomorrow}},
             Case{R"({"state":1,"startDate":725760000})", {newYear2024, std::nullopt, DisableTime::State::untilTomorrow}},
             Case{R"({"startDate":725760000,"duration":null,"state":1})",
                  {newYear2024, std::nullopt, DisableTime::State::untilTomorrow}},
             Case{R"({"startDate":725760000,"state":0})", {newYear2024, std::nullopt, DisableTime::State::time}},
         }) {
        SCOPED_TRACE(c.text);
        const auto decoded = read<DisableTime>(c.text);
        ASSERT_TRUE(decoded.has_value());
        EXPECT_EQ(*decoded, c.decoded);
        EXPECT_FALSE(decoded->duration.has_value());
    }
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
