#pragma once

#include "SettingsStore/SerializableTraits.h"

#include <optional>
#include <vector>

namespace faciward::prefs {

/// @brief Keeps a list as an array of its elements' stored forms, each made by
/// the element type's bridge. Elements that do not convert are dropped, in
/// both directions; the order is kept.
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
        for (const auto &element : *value)
            if (auto stored = ElementBridge{}.serialize(typename ElementBridge::Value(element)))
                result.push_back(std::move(*stored));
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
