#include "SettingsStore/PrefsSerializable.h"
#include "TestTypes.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace faciward::prefs
