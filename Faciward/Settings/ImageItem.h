#pragma once

#include "Platform/Settings/JsonCoding.h"
#include "SettingsStore/PrefsSerializable.h"

#include <string>

namespace faciward::settings {

/// @brief One picture of the history: kept in the list "storedImages" as the
/// JSON text {"key":…,"url":…}.
struct ImageItem
{
    /// @brief The text the picture was stored under; also its file name without extension.
    std::string key;
    /// @brief The address of the PNG file, as URL text, e.g.
    /// "file:///home/u/Documents/standard/k.png". Kept as the text it was
    /// written as, so that an entry is stored again byte for byte.
    std::string url;

    bool operator==(const ImageItem &) const = default;
};

} // namespace faciward::settings

namespace faciward::platform {

/// @brief Members "key" then "url", both strings; other members are ignored on
/// reading. An item whose "url" is not a valid URL (empty text, say, or a bad
/// percent escape) does not read, so a list leaves it out.
template<>
struct JsonCoding<settings::ImageItem>
{
    static Json::Value encode(const settings::ImageItem &value);
    static settings::ImageItem decode(const Json::Value &json);
};

} // namespace faciward::platform

namespace faciward::prefs {

template<>
struct SerializableTraits<settings::ImageItem> : CodableSerializable<settings::ImageItem>
{
};

} // namespace faciward::prefs
