#pragma once

#include "Platform/Settings/JsonCoding.h"
#include "SettingsStore/RawRepresentableBridge.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace faciward::prefs {

/// @brief The JSON-text form shared by the codable bridges: a value is kept as
/// the JSON text of the bare value.
///
/// Writing encodes the one-element array [value] and drops its brackets, so an
/// object is kept as its object text, a number as its number text and a text as
/// a quoted JSON string. Reading puts the brackets back, decodes an array of
/// values (every element must decode) and takes the first; "1,2" under an integer
/// reads 1, and "" reads nothing.
///
/// An encoding failure (a non-finite number, text that is not UTF-8) prints the
/// error's description as one line on standard output and gives nothing;
/// decoding failures give nothing silently.
template<platform::JsonCodable V>
struct PrefsCodableBridge
{
    using Value = V;
    using Serializable = std::string;

    std::optional<std::string> serialize(const std::optional<V> &value) const
    {
        if (!value)
            return std::nullopt;
        try {
            platform::Json::Value wrapper = platform::Json::Value::array();
            try {
                wrapper.push_back(platform::JsonCoding<V>::encode(*value));
            } catch (const platform::JsonException &e) {
                throw e.nestedIn("[0]");
            }
            const std::string text = platform::Json::encode(wrapper);
            return text.substr(1, text.size() - 2);
        } catch (const platform::JsonException &e) {
            std::fprintf(stdout, "%s\n", e.what());
            std::fflush(stdout);
            return std::nullopt;
        }
    }

    std::optional<V> deserialize(const std::optional<std::string> &text) const
    {
        if (!text)
            return std::nullopt;
        try {
            const auto json = platform::Json::decode("[" + *text + "]");
            auto array = platform::JsonCoding<std::vector<V>>::decode(json);
            if (array.empty())
                return std::nullopt;
            return std::move(array.front());
        } catch (const platform::JsonException &) {
            return std::nullopt;
        } catch (const nlohmann::json::exception &) {
            return std::nullopt;
        }
    }
};

/// @brief The bridge of codable values: JSON text (see PrefsCodableBridge).
template<platform::JsonCodable V>
struct TopLevelCodableBridge : PrefsCodableBridge<V>
{
};

/// @brief The bridge of raw-representable codable values: the JSON text of the
/// value, whose coded form is its raw value.
template<class V>
    requires RawRepresentable<V> && platform::JsonCodable<V>
struct RawRepresentableCodableBridge : PrefsCodableBridge<V>
{
};

} // namespace faciward::prefs
