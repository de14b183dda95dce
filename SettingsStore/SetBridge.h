#pragma once

#include "SettingsStore/CollectionBridge.h"

namespace faciward::prefs {

/// @brief Keeps a set (std::set, std::unordered_set) as an array of its
/// elements' stored forms in iteration order; reading builds the set again.
template<class S>
struct SetBridge
{
    using Element = typename S::value_type;
    using Value = S;
    using Serializable = platform::PlistValue;

    std::optional<Serializable> serialize(const std::optional<Value> &value) const
    {
        if (!value)
            return std::nullopt;
        return detail::storeElements<Element>(*value);
    }

    std::optional<Value> deserialize(const std::optional<Serializable> &object) const
    {
        auto elements = detail::readElements<Element>(object);
        if (!elements)
            return std::nullopt;
        return Value(std::make_move_iterator(elements->begin()), std::make_move_iterator(elements->end()));
    }
};

} // namespace faciward::prefs
