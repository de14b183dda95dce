#pragma once

#include "SettingsStore/PrefsBridge.h"

namespace faciward::prefs {

/// @brief The bridge of an optional: the wrapped type's bridge, called with the
/// same argument. An optional is stored exactly like the value it holds.
template<PrefsBridge Wrapped>
struct OptionalBridge
{
    using Value = typename Wrapped::Value;
    using Serializable = typename Wrapped::Serializable;

    std::optional<Serializable> serialize(const std::optional<Value> &value) const
    {
        return Wrapped{}.serialize(value);
    }
    std::optional<Value> deserialize(const std::optional<Serializable> &object) const
    {
        return Wrapped{}.deserialize(object);
    }
};

} // namespace faciward::prefs
