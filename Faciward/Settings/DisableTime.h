#pragma once

#include "Platform/Settings/JsonCoding.h"
#include "SettingsStore/PrefsSerializable.h"
#include "SettingsStore/RawRepresentableBridge.h"

#include <chrono>
#include <cstdint>
#include <optional>

namespace faciward::settings {

/// @brief One disable period, kept under "DisableTime" as the JSON text
/// {"startDate":<seconds since 2001-01-01 UTC>,"duration":<minutes>,"state":<0 or 1>},
/// "duration" left out when absent.
struct DisableTime
{
    /// @brief The kind of period; raw values 0 and 1.
    enum class State { time = 0, untilTomorrow = 1 };

    /// @brief When the period began.
    std::chrono::system_clock::time_point startDate;
    /// @brief Length in minutes, never negative; present for State::time, absent for untilTomorrow.
    std::optional<std::int64_t> duration;
    State state = State::time;

    bool operator==(const DisableTime &) const = default;
};

} // namespace faciward::settings

namespace faciward::prefs {

template<>
struct RawRepresentation<settings::DisableTime::State>
{
    using RawValue = std::int64_t;
    static RawValue rawValue(settings::DisableTime::State state) { return static_cast<RawValue>(state); }
    /// @brief Nothing for any raw value but 0 and 1.
    static std::optional<settings::DisableTime::State> fromRawValue(RawValue raw);
};

} // namespace faciward::prefs

namespace faciward::platform {

/// @brief Coded as its raw integer; other integers do not decode.
template<>
struct JsonCoding<settings::DisableTime::State>
{
    static Json::Value encode(settings::DisableTime::State state);
    static settings::DisableTime::State decode(const Json::Value &json);
};

/// @brief Members "startDate", "duration" (only when present), "state", in that
/// order. A negative duration does not encode; reading refuses negative,
/// fractional and non-numeric durations and accepts a missing one as absent.
template<>
struct JsonCoding<settings::DisableTime>
{
    static Json::Value encode(const settings::DisableTime &value);
    static settings::DisableTime decode(const Json::Value &json);
};

} // namespace faciward::platform

namespace faciward::prefs {

template<>
struct SerializableTraits<settings::DisableTime::State>
    : BridgedSerializable<RawRepresentableCodableBridge<settings::DisableTime::State>>
{
};

template<>
struct SerializableTraits<settings::DisableTime> : CodableSerializable<settings::DisableTime>
{
};

} // namespace faciward::prefs
