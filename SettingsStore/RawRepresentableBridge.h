#pragma once

#include "SettingsStore/RawRepresentable.h"

#include <optional>

namespace faciward::prefs {

/// @brief Keeps a raw-representable value as its raw value; a raw value that
/// names no value reads as nothing.
template<RawRepresentable V>
struct RawRepresentableBridge
{
    using Value = V;
    using Serializable = typename RawRepresentation<V>::RawValue;

    std::optional<Serializable> serialize(const std::optional<V> &value) const
    {
        if (!value)
            return std::nullopt;
        return RawRepresentation<V>::rawValue(*value);
    }

    std::optional<V> deserialize(const std::optional<Serializable> &raw) const
    {
        if (!raw)
            return std::nullopt;
        return RawRepresentation<V>::fromRawValue(*raw);
    }
};

} // namespace faciward::prefs
