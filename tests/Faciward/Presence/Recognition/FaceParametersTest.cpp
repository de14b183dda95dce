#include "Faciward/Presence/Recognition/FaceParameters.h"
#include "Platform/Settings/Json.h"
#include "SettingsStore/Key.h"
#include "SettingsStore/Prefs.h"
#include "tests/support/ScopedSettingsFile.h"

#include <gtest/gtest.h>

using faciward::platform::Json;
using faciward::platform::JsonCoding;
using faciward::platform::JsonError;
using faciward::platform::JsonException;
using faciward::presence::FaceParameters;

TEST(FaceParameters, encodesToAnObjectWithYawRollPitch)
{
    const auto json = JsonCoding<FaceParameters>::encode({12.5, -3, 0.25});
    EXPECT_EQ(Json::encode(json), R"({"yaw":12.5,"roll":-3,"pitch":0.25})");
}

TEST(FaceParameters, decodesByNameAndIgnoresOtherMembers)
{
    const auto value = JsonCoding<FaceParameters>::decode(Json::decode(R"({"pitch":1,"note":"x","roll":2,"yaw":3.5})"));
    EXPECT_EQ(value, (FaceParameters{3.5, 2, 1}));
}

TEST(FaceParameters, decodingFailsWhenAnAngleIsMissingOrNotANumber)
{
    for (const char *text : {R"({"yaw":1,"roll":2})", R"({"roll":2,"pitch":3})", R"({})"}) {
        try {
            JsonCoding<FaceParameters>::decode(Json::decode(text));
            ADD_FAILURE() << text;
        } catch (const JsonException &e) {
            EXPECT_EQ(e.error(), JsonError::keyNotFound) << text;
        }
    }
    EXPECT_THROW(JsonCoding<FaceParameters>::decode(Json::decode(R"({"yaw":"1","roll":2,"pitch":3})")), JsonException);
    EXPECT_THROW(JsonCoding<FaceParameters>::decode(Json::decode(R"([1,2,3])")), JsonException);
}

TEST(FaceParameters, isStoredInTheSettingsAsJsonText)
{
    faciward::testing::ScopedSettingsFile settings;
    const faciward::prefs::Key<FaceParameters> key("testFaceParameters", FaceParameters{}, settings.store());
    ASSERT_TRUE(faciward::prefs::Prefs::set(key, FaceParameters{10, 20, 30}));
    const auto stored = settings.store()->object("testFaceParameters");
    ASSERT_TRUE(stored);
    ASSERT_TRUE(stored->is<std::string>());
    EXPECT_EQ(*stored->getIf<std::string>(), R"({"yaw":10,"roll":20,"pitch":30})");
    EXPECT_EQ(faciward::prefs::Prefs::get(key), (FaceParameters{10, 20, 30}));
}
