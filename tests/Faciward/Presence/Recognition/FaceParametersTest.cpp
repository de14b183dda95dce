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
