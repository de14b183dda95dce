#pragma once

#include "Platform/Settings/PlistValue.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace faciward::platform {

/// @brief What an observer of a settings key asks to be told, as bits.
using KeyValueObservingOptions = unsigned;
/// @brief Records carry the value after the change.
inline constexpr KeyValueObservingOptions observingNew = 1;
/// @brief Records carry the value before the change.
inline constexpr KeyValueObservingOptions observingOld = 2;
/// @brief One record at registration, carrying the current value as the new one.
inline constexpr KeyValueObservingOptions observingInitial = 4;
/// @brief One record before each change as well as the one after it.
inline constexpr KeyValueObservingOptions observingPrior = 8;

/// @brief One notification of a change of a key, as a SettingsStore hands it to
/// the key's observers.
struct KeyValueChange
{
    /// @brief The kinds of key-value changes. A settings key is only ever set.
    static constexpr std::uint64_t setting = 1;
    static constexpr std::uint64_t insertion = 2;
    static constexpr std::uint64_t removal = 3;
    static constexpr std::uint64_t replacement = 4;

    std::uint64_t kind = setting;
    /// @brief The indexes a change of an ordered collection touched; never set by the store.
    std::optional<std::vector<std::size_t>> indexes;
    /// @brief True for the record sent before a change (it carries no new value).
    bool isPrior = false;
    /// @brief The effective value after the change; null when absent or not asked for.
    std::shared_ptr<const PlistValue> newValue;
    /// @brief The effective value before the change; null when absent or not asked for.
    std::shared_ptr<const PlistValue> oldValue;
};

} // namespace faciward::platform
