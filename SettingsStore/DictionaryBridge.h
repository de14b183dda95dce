#pragma once

#include "SettingsStore/LosslessText.h"
#include "SettingsStore/PrefsBridge.h"
#include "SettingsStore/SerializableTraits.h"

#include <map>
#include <optional>
#include <string>

namespace faciward::prefs {

/// @brief Keeps a dictionary as a dictionary from its keys' text to its values'
/// stored forms. A value that does not convert, or an empty optional, leaves
/// its key out; when two keys
/// print as the same text, the one met later decides. On reading, a text that
/// does not rebuild a key is skipped.
template<LosslessTextConvertible K, class V, class Map = std::map<K, V>>
struct DictionaryBridge
{
    using ElementBridge = typename SerializableTraits<V>::Bridge;
    using Value = Map;
    using Serializable = std::map<std::string, typename ElementBridge::Serializable>;

    std::optional<Serializable> serialize(const std::optional<Value> &value) const
    {
        if (!value)
            return std::nullopt;
        Serializable result;
        for (const auto &[key, element] : *value) {
            const std::string text = LosslessText<K>::description(key);
            if (auto stored = ElementBridge{}.serialize(bridgeInput<typename ElementBridge::Value>(element)))
                result.insert_or_assign(text, std::move(*stored));
            else
                result.erase(text);
        }
        return result;
    }

    std::optional<Value> deserialize(const std::optional<Serializable> &stored) const
    {
        if (!stored)
            return std::nullopt;
        Value result;
        for (const auto &[text, element] : *stored) {
            auto key = LosslessText<K>::fromText(text);
            if (!key)
                continue;
            if (auto value = ElementBridge{}.deserialize(element))
                result.insert_or_assign(std::move(*key), V(std::move(*value)));
            else
                result.erase(*key);
        }
        return result;
    }
};

} // namespace faciward::prefs
