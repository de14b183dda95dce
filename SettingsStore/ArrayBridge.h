#pragma once

#include "SettingsStore/PrefsBridge.h"
#include "SettingsStore/SerializableTraits.h"

#include <optional>
#include <vector>

namespace faciward::prefs {

/// @brief Keeps a list as an array of its elements' stored forms, each made by
/// the element type's bridge. Elements that do not convert are dropped, in
/// both directions; the order is kept. A list of optionals holding an empty one
/// has no stored form: it is not a list of the bridge's values.
template<class E>
struct ArrayBridge
{
    using ElementBridge = typename SerializableTraits<E>::Bridge;
    using Value = std::vector<E>;
    using Serializable = std::vector<typename ElementBridge::Serializable>;

    std::optional<Serializable> serialize(const std::optional<Value> &value) const
    {
        if (!value)
            return std::nullopt;
        Serializable result;
        result.reserve(value->size());
        for (const auto &element : *value) {
            const auto input = bridgeInput<typename ElementBridge::Value>(element);
            if (!input)
                return std::nullopt;
            if (auto stored = ElementBridge{}.serialize(input))
                result.push_back(std::move(*stored));
        }
        return result;
    }

    std::optional<Value> deserialize(const std::optional<Serializable> &stored) const
    {
        if (!stored)
            return std::nullopt;
        Value result;
        result.reserve(stored->size());
        for (const auto &element : *stored)
            if (auto value = ElementBridge{}.deserialize(element))
                result.push_back(E(std::move(*value)));
        return result;
    }
};

} // namespace faciward::prefs
