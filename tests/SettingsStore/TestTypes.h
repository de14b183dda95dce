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

/// A collection built from an array of its elements.
struct Bag
{
    using value_type = std::string;
    std::vector<std::string> items;
    explicit Bag(std::vector<std::string> elements)
        : items(std::move(elements))
    {
    }
    auto begin() const { return items.begin(); }
    auto end() const { return items.end(); }
    bool operator==(const Bag &) const = default;
};

/// A set-like type that lists its elements.
struct Flags
{
    using value_type = std::int64_t;
    std::vector<std::int64_t> bits;
    explicit Flags(std::vector<std::int64_t> elements)
        : bits(std::move(elements))
    {
    }
    std::vector<std::int64_t> toArray() const { return bits; }
    bool operator==(const Flags &) const = default;
};

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

template<>
struct SerializableTraits<test::Bag> : BridgedSerializable<CollectionBridge<test::Bag>>
{
};

template<>
struct SerializableTraits<test::Flags> : BridgedSerializable<SetAlgebraBridge<test::Flags>>
{
};

} // namespace faciward::prefs
