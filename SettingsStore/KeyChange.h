#pragma once

#include "SettingsStore/BaseChange.h"
#include "SettingsStore/PrefsSerializable.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace faciward::prefs {

/// @brief The typed record of a change of a key. Its values are never missing:
/// an absent value (the old value of an initial record, the new value of a prior
/// record, a removed entry without registered default) and one that does not
/// convert to V read as the key's default value.
template<PrefsSerializable V>
struct KeyChange
{
    std::uint64_t kind = BaseChange::setting;
    std::optional<std::vector<std::size_t>> indexes;
    bool isPrior = false;
    V newValue;
    V oldValue;

    /// @brief Field by field, in the order kind, indexes, isPrior, newValue, oldValue.
    bool operator==(const KeyChange &) const = default;

    /// @brief The typed record of @p change for a key whose default is @p defaultValue.
    static KeyChange from(const BaseChange &change, const V &defaultValue)
    {
        const auto typed = [&defaultValue](const std::shared_ptr<const platform::PlistValue> &stored) -> V {
            if (!stored)
                return defaultValue;
            if (auto value = toValue<V>(*stored))
                return std::move(*value);
            return defaultValue;
        };
        return KeyChange{change.kind, change.indexes, change.isPrior, typed(change.newValue), typed(change.oldValue)};
    }
};

} // namespace faciward::prefs
