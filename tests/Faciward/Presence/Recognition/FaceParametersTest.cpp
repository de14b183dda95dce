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

TEST(FaceParameters, isCodedAsYawRollPitchAndStoredInTheSettingsAsThatJsonText)
{
    const FaceParameters pose{-12.5, 3.25, 90};
    EXPECT_EQ(Json::encode(JsonCoding<FaceParameters>::encode(pose)), R"({"yaw":-12.5,"roll":3.25,"pitch":90})");

    faciward::testing::ScopedSettingsFile settings;
    const faciward::prefs::Key<FaceParameters> key("testFaceParameters", FaceParameters{},
                                                   faciward::platform::SettingsStore::standard());
    ASSERT_TRUE(faciward::prefs::Prefs::set(key, pose));
    EXPECT_EQ(settings.store()->object("testFaceParameters"),
              faciward::platform::PlistValue(R"({"yaw":-12.5,"roll":3.25,"pitch":90})"));
    EXPECT_EQ(faciward::prefs::Prefs::get(key), pose);
}

TEST(FaceParameters, radiansBecomeDegreesByMultiplyingBy180ThenDividingByPi)
{
    constexpr double pi = 3.141592653589793;
    // Each angle in its own field, so that a swap of two shows; the last angles
    // round differently when multiplied by 180 / pi in one step.
    struct Case
    {
        double radians, degrees;
    };
    const Case cases[] = {
        {pi / 2, 90.0},           {-pi / 4, -45.0},         {0.0, 0.0},
        {0.9503, 54.44817927128213}, {1.8275, 104.70803706015795}, {-0.1, -5.729577951308232},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.radians);
        EXPECT_EQ(FaceParameters::fromRadians({c.radians, 0, 0}), (FaceParameters{c.degrees, 0, 0}));
        EXPECT_EQ(FaceParameters::fromRadians({0, c.radians, 0}), (FaceParameters{0, c.degrees, 0}));
        EXPECT_EQ(FaceParameters::fromRadians({0, 0, c.radians}), (FaceParameters{0, 0, c.degrees}));
    }
}
