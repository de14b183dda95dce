#pragma once

#include "Platform/Settings/Json.h"
#include "Platform/Settings/PlistDate.h"
#include "Platform/Settings/PlistValue.h"

#include <concepts>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace faciward::platform {

/// @brief How values of T are written as JSON and read back: what makes a type
/// codable.
///
/// A specialisation provides
///     static Json::Value encode(const T &value);  // may throw JsonException (invalidValue)
///     static T decode(const Json::Value &json);    // throws JsonException on anything unexpected
/// Specialised here for bool, the integer types, float, double, std::string,
/// PlistData (Base64 text), PlistDate (seconds since 2001 as a number),
/// std::optional (null when empty), std::vector and std::map with text keys.
/// Application records specialise it next to their own declaration.
template<class T>
struct JsonCoding;

template<class T>
concept JsonCodable = requires(const T &value, const Json::Value &json) {
    { JsonCoding<T>::encode(value) } -> std::same_as<Json::Value>;
    { JsonCoding<T>::decode(json) } -> std::same_as<T>;
};

template<>
struct JsonCoding<bool>
{
    static Json::Value encode(bool value) { return Json::Value(value); }
    static bool decode(const Json::Value &json) { return Json::boolean(json); }
};

template<class I>
    requires(std::integral<I> && !std::same_as<I, bool>)
struct JsonCoding<I>
{
    static Json::Value encode(I value) { return Json::Value(value); }
    static I decode(const Json::Value &json)
    {
        if constexpr (std::is_signed_v<I>) {
            const std::int64_t value = Json::int64(json);
            if (std::in_range<I>(value))
                return static_cast<I>(value);
        } else {
            const std::uint64_t value = Json::uint64(json);
            if (std::in_range<I>(value))
                return static_cast<I>(value);
        }
        throw JsonException(JsonError::dataCorrupted,
                            "Parsed JSON number <" + json.dump() + "> does not fit in the integer type.");
    }
};

template<std::floating_point F>
struct JsonCoding<F>
{
    /// @brief A float is written with its own shortest digits (0.1f as 0.1).
    static Json::Value encode(F value)
    {
        if constexpr (std::is_same_v<F, float>)
            return Json::Value(Json::withFloatDigits(value));
        else
            return Json::Value(static_cast<double>(value));
    }
    static F decode(const Json::Value &json)
    {
        const double value = Json::number(json);
        if constexpr (!std::is_same_v<F, double>) {
            if (value > static_cast<double>(std::numeric_limits<F>::max()) ||
                value < -static_cast<double>(std::numeric_limits<F>::max()))
                throw JsonException(JsonError::dataCorrupted,
                                    "Parsed JSON number <" + json.dump() + "> does not fit in Float.");
        }
        return static_cast<F>(value);
    }
};

template<>
struct JsonCoding<std::string>
{
    static Json::Value encode(const std::string &value) { return Json::Value(value); }
    static std::string decode(const Json::Value &json) { return Json::string(json); }
};

template<>
struct JsonCoding<PlistData>
{
    static Json::Value encode(const PlistData &value) { return Json::Value(Json::base64Encode(value)); }
    static PlistData decode(const Json::Value &json)
    {
        auto data = Json::base64Decode(Json::string(json));
        if (!data)
            throw JsonException(JsonError::dataCorrupted, "Encountered Data is not valid Base64.");
        return std::move(*data);
    }
};

template<>
struct JsonCoding<PlistDate>
{
    static Json::Value encode(const PlistDate &value) { return Json::Value(value.secondsSinceReferenceDate); }
    static PlistDate decode(const Json::Value &json) { return PlistDate{Json::number(json)}; }
};

template<JsonCodable T>
struct JsonCoding<std::optional<T>>
{
    static Json::Value encode(const std::optional<T> &value)
    {
        return value ? JsonCoding<T>::encode(*value) : Json::Value(nullptr);
    }
    static std::optional<T> decode(const Json::Value &json)
    {
        if (json.is_null())
            return std::nullopt;
        return JsonCoding<T>::decode(json);
    }
};

template<JsonCodable T>
struct JsonCoding<std::vector<T>>
{
    static Json::Value encode(const std::vector<T> &value)
    {
        Json::Value array = Json::Value::array();
        for (const auto &element : value)
            array.push_back(JsonCoding<T>::encode(element));
        return array;
    }
    static std::vector<T> decode(const Json::Value &json)
    {
        const auto &array = Json::array(json);
        std::vector<T> result;
        result.reserve(array.size());
        std::size_t index = 0;
        for (const auto &element : array) {
            try {
                result.push_back(JsonCoding<T>::decode(element));
            } catch (const JsonException &e) {
                throw e.nestedIn("[" + std::to_string(index) + "]");
            }
            ++index;
        }
        return result;
    }
};

template<JsonCodable T, class Compare, class Allocator>
struct JsonCoding<std::map<std::string, T, Compare, Allocator>>
{
    using Map = std::map<std::string, T, Compare, Allocator>;
    static Json::Value encode(const Map &value)
    {
        Json::Value object = Json::Value::object();
        for (const auto &[key, element] : value)
            object[key] = JsonCoding<T>::encode(element);
        return object;
    }
    static Map decode(const Json::Value &json)
    {
        Map result;
        for (const auto &[key, element] : Json::object(json).items()) {
            try {
                result.emplace(key, JsonCoding<T>::decode(element));
            } catch (const JsonException &e) {
                throw e.nestedIn(key);
            }
        }
        return result;
    }
};

} // namespace faciward::platform
