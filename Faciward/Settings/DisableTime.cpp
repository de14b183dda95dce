#include "DisableTime.h"

#include <cmath>
#include <limits>

namespace faciward::prefs {

std::optional<settings::DisableTime::State> RawRepresentation<settings::DisableTime::State>::fromRawValue(RawValue raw)
{
    switch (raw) {
    case 0: return settings::DisableTime::State::time;
    case 1: return settings::DisableTime::State::untilTomorrow;
    default: return std::nullopt;
    }
}

} // namespace faciward::prefs

namespace faciward::platform {

using settings::DisableTime;
using StateRaw = prefs::RawRepresentation<DisableTime::State>;

Json::Value JsonCoding<DisableTime::State>::encode(DisableTime::State state)
{
    return Json::Value(StateRaw::rawValue(state));
}

DisableTime::State JsonCoding<DisableTime::State>::decode(const Json::Value &json)
{
    const std::int64_t raw = Json::int64(json);
    if (auto state = StateRaw::fromRawValue(raw))
        return *state;
    throw JsonException(JsonError::dataCorrupted,
                        "Cannot initialize State from invalid raw value " + std::to_string(raw) + ".");
}

Json::Value JsonCoding<DisableTime>::encode(const DisableTime &value)
{
    Json::Value object = Json::Value::object();
    object["startDate"] = JsonCoding<PlistDate>::encode(PlistDate::fromTimePoint(value.startDate));
    if (value.duration) {
        if (*value.duration < 0)
            throw JsonException(JsonError::invalidValue,
                                "A disable period cannot last " + std::to_string(*value.duration) + " minutes.",
                                "duration");
        object["duration"] = static_cast<std::uint64_t>(*value.duration);
    }
    object["state"] = JsonCoding<DisableTime::State>::encode(value.state);
    return object;
}

DisableTime JsonCoding<DisableTime>::decode(const Json::Value &json)
{
    DisableTime result;
    const auto nested = [](const char *key, auto &&read) {
        try {
            return read();
        } catch (const JsonException &e) {
            throw e.nestedIn(key);
        }
    };
    const PlistDate start = nested("startDate", [&] { return JsonCoding<PlistDate>::decode(Json::member(json, "startDate")); });
    // The system clock holds about ±292 years around 1970 in nanoseconds.
    const double unixSeconds = start.secondsSinceReferenceDate + PlistDate::referenceUnixSeconds;
    if (std::fabs(unixSeconds) > 9.2e9)
        throw JsonException(JsonError::dataCorrupted, "The date is out of range.", "startDate");
    result.startDate = start.toTimePoint();
    if (const Json::Value *duration = Json::optionalMember(json, "duration")) {
        const std::uint64_t minutes = nested("duration", [&] { return Json::uint64(*duration); });
        if (minutes > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            throw JsonException(JsonError::dataCorrupted, "The duration is out of range.", "duration");
        result.duration = static_cast<std::int64_t>(minutes);
    }
    result.state = nested("state", [&] { return JsonCoding<DisableTime::State>::decode(Json::member(json, "state")); });
    return result;
}

} // namespace faciward::platform
