#pragma once

#include "Platform/Settings/JsonCoding.h"
#include "SettingsStore/PrefsSerializable.h"

#include <array>
#include <string_view>

namespace faciward::settings {

/// @brief The face-accuracy setting: how similar a face must be to an enrolled
/// one before the owner counts as present. Stored under "facePrecision" as the
/// JSON text {"low":{}}, {"medium":{}} or {"high":{}}.
enum class FacePrecision { low, medium, high };

/// @brief Every case, in the order the preferences offer them.
inline constexpr std::array<FacePrecision, 3> allFacePrecisions{FacePrecision::low, FacePrecision::medium,
                                                                FacePrecision::high};

/// @brief The cosine similarity a comparison must exceed (strictly) to match:
/// 0.6, 0.7 or 0.8.
double similarityThreshold(FacePrecision precision);

/// @brief The same as similarityThreshold().
inline double threshold(FacePrecision precision)
{
    return similarityThreshold(precision);
}

/// @brief "Low", "Medium" or "High".
std::string_view title(FacePrecision precision);

} // namespace faciward::settings

namespace faciward::platform {

/// @brief An object with exactly one member named after the case, whose value is
/// an empty object. Reading counts only the members "low", "medium" and "high"
/// (letter case included); anything but exactly one of them fails with
/// "Invalid number of keys found, expected one.", and the member's value must be
/// an object (its content is not read).
template<>
struct JsonCoding<settings::FacePrecision>
{
    static Json::Value encode(settings::FacePrecision value);
    static settings::FacePrecision decode(const Json::Value &json);
};

} // namespace faciward::platform

namespace faciward::prefs {

template<>
struct SerializableTraits<settings::FacePrecision> : CodableSerializable<settings::FacePrecision>
{
};

} // namespace faciward::prefs
