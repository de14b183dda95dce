#include "SettingsStore/PrefsSerializable.h"
#include "TestTypes.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <set>

namespace faciward::prefs {
namespace {

using platform::PlistArray;
using platform::PlistDictionary;
using platform::PlistValue;
using test::Pose;

const char *poseText = R"({"yaw":1,"roll":2,"pitch":3})";

TEST(ArrayBridge, dropsElementsThatDoNotConvert)
{
    EXPECT_EQ(toValue<std::vector<Pose>>(PlistValue(PlistArray{PlistValue("garbage"), PlistValue(poseText)})),
              (std::vector<Pose>{{1, 2, 3}}));
    ::testing::internal::CaptureStdout();
    const auto stored = toSerializable(std::vector<Pose>{{std::nan(""), 0, 0}, {1, 2, 3}});
    EXPECT_EQ(::testing::internal::GetCapturedStdout().size() > 0, true);
    EXPECT_EQ(stored, PlistValue(PlistArray{PlistValue(poseText)}));
}

TEST(ArrayBridge, anArrayThatIsNotOfTextsReadsAsNothing)
{
    EXPECT_FALSE(toValue<std::vector<Pose>>(PlistValue(PlistArray{PlistValue(poseText), PlistValue(1)})));
    EXPECT_FALSE(toValue<std::vector<Pose>>(PlistValue(poseText)));
}

TEST(ArrayBridge, aListOfBytesIsAnArrayOfNumbersAndOnlyDataIsData)
{
    using Bytes = std::vector<std::uint8_t>;
    using platform::PlistData;
    EXPECT_EQ(toSerializable(Bytes{1, 2}), PlistValue(PlistArray{1u, 2u}));
    EXPECT_EQ(toSerializable(PlistData{1, 2}), PlistValue(PlistData{1, 2}));
    const struct
    {
        const char *what;
        PlistValue stored;
        std::optional<Bytes> asBytes;
        std::optional<PlistData> asData;
    } rows[] = {
        {"an array of numbers", PlistValue(PlistArray{1, 255}), Bytes{1, 255}, std::nullopt},
        {"data, as lists of bytes were once stored", PlistValue(PlistData{1, 2}), Bytes{1, 2}, PlistData{1, 2}},
        {"a number beyond a byte", PlistValue(PlistArray{1, 256}), std::nullopt, std::nullopt},
        {"Base64 text", PlistValue(R"("AQI=")"), std::nullopt, PlistData{1, 2}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(toValue<Bytes>(row.stored), row.asBytes);
        EXPECT_EQ(toValue<PlistData>(row.stored), row.asData);
    }
}

TEST(DictionaryBridge, storesKeysAsTheirTextAndSkipsTextsThatAreNoKey)
{
    using PosesById = std::map<std::int64_t, Pose>;
    const PosesById byId{{-3, {1, 2, 3}}, {10, {1, 2, 3}}};
    EXPECT_FALSE(SerializableTraits<PosesById>::isNativelySupported)
        << "only text keys are handed to the store as they are";
    EXPECT_EQ(toSerializable(byId), PlistValue(PlistDictionary{{"-3", PlistValue(poseText)}, {"10", PlistValue(poseText)}}));
    const PlistValue stored(PlistDictionary{
        {"x1", PlistValue(poseText)}, {"+7", PlistValue(poseText)}, {"8", PlistValue("bad")}, {"1.5", PlistValue(poseText)}});
    EXPECT_EQ(toValue<PosesById>(stored), (PosesById{{7, {1, 2, 3}}}));
    for (const char *text : {"+-7", "++7", "-", "+", "", " 7", "7 ", "0x7", "99999999999999999999"})
        EXPECT_FALSE(LosslessText<std::int64_t>::fromText(text)) << text;
    EXPECT_EQ(LosslessText<std::int64_t>::fromText("-7"), -7);
    EXPECT_FALSE(LosslessText<std::uint64_t>::fromText("-7"));

    const std::map<std::int64_t, std::int64_t> counts{{1, 2}};
    EXPECT_EQ(toSerializable(counts), PlistValue(PlistDictionary{{"1", PlistValue("2")}}));
    const std::map<std::string, std::int64_t> native{{"a", 1}};
    EXPECT_EQ(toSerializable(native), PlistValue(PlistDictionary{{"a", PlistValue(1)}}));
}

TEST(SetBridge, aSetOfTextsIsAnArrayOfTextsAndReadsBack)
{
    using Names = std::set<std::string>;
    static_assert(!SerializableTraits<Names>::isNativelySupported);
    const Names names{"b/c", "a", ""};
    EXPECT_EQ(toSerializable(names), PlistValue(PlistArray{"", "a", "b/c"}));
    EXPECT_EQ(toValue<Names>(*toSerializable(names)), names);
    const struct
    {
        const char *what;
        PlistValue stored;
        std::optional<Names> read;
    } rows[] = {
        {"texts given twice", PlistValue(PlistArray{"a", "b", "a"}), Names{"a", "b"}},
        {"an empty array", PlistValue(PlistArray{}), Names{}},
        {"a number among the texts", PlistValue(PlistArray{"a", 1}), std::nullopt},
        {"a text", PlistValue("a"), std::nullopt},
    };
    for (const auto &row : rows)
        EXPECT_EQ(toValue<Names>(row.stored), row.read) << row.what;
}

TEST(CollectionBridge, optionalsInsideCollectionsAreKeptAsTheValuesTheyHold)
{
    using Ints = std::vector<std::optional<std::int64_t>>;
    using Poses = std::vector<std::optional<Pose>>;
    using IntsByName = std::map<std::string, std::optional<std::int64_t>>;
    using PosesById = std::map<std::int64_t, std::optional<Pose>>;
    using IntSet = std::set<std::optional<std::int64_t>>;
    using ColourSet = std::set<std::optional<test::Colour>>;
    static_assert(PrefsSerializable<Ints> && SerializableTraits<Ints>::isNativelySupported);
    static_assert(PrefsSerializable<IntsByName> && SerializableTraits<IntsByName>::isNativelySupported);
    static_assert(PrefsSerializable<Poses> && PrefsSerializable<PosesById> && PrefsSerializable<IntSet> &&
                  PrefsSerializable<ColourSet>);
    const Pose pose{1, 2, 3};
    const auto none = std::nullopt;
    const struct
    {
        const char *what;
        std::function<std::optional<PlistValue>()> write;
        std::optional<PlistValue> stored;
    } rows[] = {
        // A list, and a dictionary or set of elements the store keeps as they are,
        // holding an empty optional cannot be kept: the store has no "none".
        {"integers", [] { return toSerializable(Ints{1, 2}); }, PlistValue(PlistArray{1, 2})},
        {"integers with none", [] { return toSerializable(Ints{1, std::nullopt}); }, none},
        {"integers by name", [] { return toSerializable(IntsByName{{"a", 1}}); }, PlistValue(PlistDictionary{{"a", 1}})},
        {"integers by name with none", [] { return toSerializable(IntsByName{{"a", 1}, {"b", std::nullopt}}); }, none},
        {"a set of integers", [] { return toSerializable(IntSet{2, 1}); }, PlistValue(PlistArray{1, 2})},
        {"a set of integers with none", [] { return toSerializable(IntSet{1, std::nullopt}); }, none},
        // Bridged elements: a list of them with an empty one is no list of the
        // bridge's values; a dictionary or set leaves the empty one out.
        {"poses", [&] { return toSerializable(Poses{pose, pose}); }, PlistValue(PlistArray{poseText, poseText})},
        {"poses with none", [&] { return toSerializable(Poses{pose, std::nullopt}); }, none},
        {"poses by id with none", [&] { return toSerializable(PosesById{{1, pose}, {2, std::nullopt}}); },
         PlistValue(PlistDictionary{{"1", poseText}})},
        {"a set of colours with none", [] { return toSerializable(ColourSet{std::nullopt, test::Colour::green}); },
         PlistValue(PlistArray{2})},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(row.write(), row.stored);
    }

    EXPECT_EQ(toValue<Ints>(PlistValue(PlistArray{1, 2})), (Ints{1, 2}));
    EXPECT_EQ(toValue<Ints>(PlistValue(PlistArray{"1", "2"})), (Ints{1, 2})) << "through the elements' JSON text";
    EXPECT_FALSE(toValue<Ints>(PlistValue(PlistArray{1, "x"})));
    EXPECT_EQ(toValue<IntsByName>(PlistValue(PlistDictionary{{"a", 1}})), (IntsByName{{"a", 1}}));
    EXPECT_EQ(toValue<Poses>(PlistValue(PlistArray{"garbage", poseText})), (Poses{pose}));
    EXPECT_EQ(toValue<PosesById>(PlistValue(PlistDictionary{{"1", poseText}})), (PosesById{{1, pose}}));
    EXPECT_EQ(toValue<IntSet>(PlistValue(PlistArray{2, 1})), (IntSet{1, 2}));
    EXPECT_EQ(toValue<ColourSet>(PlistValue(PlistArray{2, 7})), (ColourSet{test::Colour::green}));
}

TEST(DictionaryBridge, floatingPointKeysAreKeptAsTheirShortestText)
{
    const std::map<double, std::int64_t> byNumber{{-0.5, 1}, {0.1, 2}, {1.0, 3}, {786000000, 4}, {1e16, 5}, {1e-05, 6}};
    EXPECT_EQ(toSerializable(byNumber),
              PlistValue(PlistDictionary{{"-0.5", "1"}, {"0.1", "2"}, {"1.0", "3"}, {"786000000.0", "4"},
                                         {"1e+16", "5"}, {"1e-05", "6"}}));
    EXPECT_EQ((toValue<std::map<double, std::int64_t>>(*toSerializable(byNumber))), byNumber);
    EXPECT_EQ(toSerializable(std::map<float, std::int64_t>{{0.1f, 1}}), PlistValue(PlistDictionary{{"0.1", "1"}}));

    const struct
    {
        const char *text;
        std::optional<double> key;
    } texts[] = {
        {"1", 1.0}, {"+2.5", 2.5}, {"-2.5", -2.5}, {"1e3", 1000.0}, {"1E-2", 0.01}, {"-0.0", -0.0},
        {"inf", std::numeric_limits<double>::infinity()}, {"-Infinity", -std::numeric_limits<double>::infinity()},
        {"", std::nullopt}, {"+", std::nullopt}, {"++1", std::nullopt}, {"+-1", std::nullopt}, {" 1", std::nullopt},
        {"1 ", std::nullopt}, {"1,5", std::nullopt}, {"0x10", std::nullopt}, {"1e400", std::nullopt}, {"x", std::nullopt},
    };
    for (const auto &row : texts)
        EXPECT_EQ(LosslessText<double>::fromText(row.text), row.key) << row.text;
    EXPECT_TRUE(std::isnan(*LosslessText<double>::fromText("nan")));
    EXPECT_EQ(LosslessText<double>::description(std::numeric_limits<double>::quiet_NaN()), "nan");
    EXPECT_EQ(LosslessText<double>::description(-std::numeric_limits<double>::infinity()), "-inf");
    EXPECT_EQ(LosslessText<double>::description(-0.0), "-0.0");
    EXPECT_FALSE(LosslessText<float>::fromText("1e39")) << "beyond a float's range";
}

} // namespace
} // namespace faciward::prefs
