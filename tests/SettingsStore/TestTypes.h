#pragma once

#include "Platform/Settings/JsonCoding.h"
#include "SettingsStore/PrefsSerializable.h"

#include <optional>
#include <string>
#include <vector>

// Small value types of the kinds the application stores, for the bridge tests.
namespace faciward::prefs::test {

/// A codable record whose members encode in declaration order.
struct Pose
{
    double yaw = 0;
    double roll = 0;
    double pitch = 0;
    bool operator==(const Pose &) const = default;
};

/// A raw-representable enumeration that is not codable.
enum class Colour { red = 1, green = 2 };

} // namespace faciward::prefs::test

namespace faciward::platform {

template<>
struct JsonCoding<prefs::test::Pose>
{
    static Json::Value encode(const prefs::test::Pose &pose)
    {
        Json::Value object = Json::Value::object();
        object["yaw"] = pose.yaw;
        object["roll"] = pose.roll;
        object["pitch"] = pose.pitch;
        return object;
    }
    static prefs::test::Pose decode(const Json::Value &json)
    {
        return {Json::number(Json::member(json, "yaw")), Json::number(Json::member(json, "roll")),
                Json::number(Json::member(json, "pitch"))};
    }
};

} // namespace faciward::platform

namespace faciward::prefs {

template<>
struct SerializableTraits<test::Pose> : CodableSerializable<test::Pose>
{
};

template<>
struct RawRepresentation<test::Colour>
{
    using RawValue = std::int64_t;
    static RawValue rawValue(test::Colour colour) { return static_cast<RawValue>(colour); }
    static std::optional<test::Colour> fromRawValue(RawValue raw)
    {
        if (raw == 1 || raw == 2)
            return static_cast<test::Colour>(raw);
        return std::nullopt;
    }
};

template<>
struct SerializableTraits<test::Colour> : BridgedSerializable<RawRepresentableBridge<test::Colour>>
{
};

} // namespace faciward::prefs
