#pragma once

#include "SettingsStore/CollectionBridge.h"

namespace faciward::prefs {

/// @brief Set-like types that list their elements with toArray() and are built
/// from such a list (see SetAlgebraBridge).
template<class S>
concept PrefsSetAlgebraSerializable = requires(const S &set, std::vector<typename S::value_type> elements) {
    { set.toArray() } -> std::same_as<std::vector<typename S::value_type>>;
    S(std::move(elements));
};

/// @brief Keeps a set-like value as the array of its toArray() elements' stored forms.
template<PrefsSetAlgebraSerializable S>
struct SetAlgebraBridge
{
    using Value = S;
    using Serializable = platform::PlistValue;

    std::optional<Serializable> serialize(const std::optional<Value> &value) const
    {
        if (!value)
            return std::nullopt;
        return detail::storeElements<typename S::value_type>(value->toArray());
    }

    std::optional<Value> deserialize(const std::optional<Serializable> &object) const
    {
        auto elements = detail::readElements<typename S::value_type>(object);
        if (!elements)
            return std::nullopt;
        return S(std::move(*elements));
    }
};

} // namespace faciward::prefs
