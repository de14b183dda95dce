#pragma once

#include "Platform/Settings/JsonCoding.h"
#include "Platform/Vision/HeadPose.h"
#include "SettingsStore/PrefsSerializable.h"

namespace faciward::presence {

/// @brief One head pose, in degrees (see platform::HeadPose for the signs).
///
/// Coded as the JSON object {"yaw":…,"roll":…,"pitch":…}; usable as a settings
/// value, stored as that JSON text.
struct FaceParameters
{
    double yaw = 0;
    double roll = 0;
    double pitch = 0;

    /// @brief @p pose, measured in radians, in degrees. Each angle is multiplied
    /// by 180 and then divided by pi; every pose the program shows or publishes
    /// goes through here, so that they agree to the last bit.
    static FaceParameters fromRadians(const platform::HeadPose &pose);

    friend bool operator==(const FaceParameters &, const FaceParameters &) = default;
};

} // namespace faciward::presence

namespace faciward::platform {

/// @brief The keys "yaw", "roll" and "pitch", in that order. Reading takes the
/// three by name, ignores other members, and fails (keyNotFound) when one is
/// missing or (typeMismatch) when one is not a number.
template<>
struct JsonCoding<presence::FaceParameters>
{
    static Json::Value encode(const presence::FaceParameters &value);
    static presence::FaceParameters decode(const Json::Value &json);
};

} // namespace faciward::platform

namespace faciward::prefs {

template<>
struct SerializableTraits<presence::FaceParameters> : CodableSerializable<presence::FaceParameters>
{
};

} // namespace faciward::prefs
