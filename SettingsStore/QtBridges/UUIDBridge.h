#pragma once

#include "SettingsStore/PrefsSerializable.h"

#include <QtCore/QUuid>

#include <optional>
#include <string>
#include <string_view>

namespace faciward::prefs {

/// @brief The bridge of identifiers: the upper-case text in 8-4-4-4-12 groups.
/// Reading takes exactly that form in any letter case (no braces, no other
/// length); any other text reads as nothing.
struct UUIDBridge
{
    using Value = QUuid;
    using Serializable = std::string;

    std::optional<std::string> serialize(const std::optional<QUuid> &uuid) const;
    std::optional<QUuid> deserialize(const std::optional<std::string> &text) const;
};

template<>
struct SerializableTraits<QUuid> : BridgedSerializable<UUIDBridge>
{
};

} // namespace faciward::prefs
