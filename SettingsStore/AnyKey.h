#pragma once

#include "Platform/Settings/SettingsStore.h"

#include <memory>
#include <string>

namespace faciward::prefs {

/// @brief A settings key of any value type: the entry's name and the store
/// (its suite) that holds it. Keys are created once and shared by reference;
/// they never change and may be used from any thread.
class AnyKey
{
public:
    AnyKey(std::string name, std::shared_ptr<platform::SettingsStore> suite);
    virtual ~AnyKey();
    AnyKey(const AnyKey &) = delete;
    AnyKey &operator=(const AnyKey &) = delete;

    /// @brief The entry's name in the store.
    const std::string &name() const { return m_name; }
    /// @brief The store that holds the entry.
    const std::shared_ptr<platform::SettingsStore> &suite() const { return m_suite; }

    /// @brief Removes the entry from the suite; a read then gives the registered default.
    /// @return false when the removal could not be persisted.
    bool reset() const;

private:
    const std::string m_name;
    const std::shared_ptr<platform::SettingsStore> m_suite;
};

} // namespace faciward::prefs
