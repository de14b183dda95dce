#pragma once

#include "Guards.h"
#include "Platform/Settings/SettingsStore.h"

#include <filesystem>
#include <memory>
#include <optional>

namespace faciward::testing {

/// @brief Points the standard settings store at a fresh file for the guard's
/// life, and back at its previous file afterwards. Registered defaults stay
/// (they belong to the process, like the keys that registered them).
///
/// The default guard uses "<temp dir>/faciward/settings.json" (not yet created)
/// and sets FACIWARD_SETTINGS_FILE to it, so child processes share it.
class ScopedSettingsFile
{
public:
    ScopedSettingsFile();
    /// @brief Uses @p file, which the guard neither creates nor removes; the
    /// environment is left alone.
    explicit ScopedSettingsFile(std::filesystem::path file);
    ~ScopedSettingsFile();
    ScopedSettingsFile(const ScopedSettingsFile &) = delete;
    ScopedSettingsFile &operator=(const ScopedSettingsFile &) = delete;

    /// @brief The file the standard store now uses.
    const std::filesystem::path &path() const { return m_path; }
    /// @brief The standard store.
    std::shared_ptr<platform::SettingsStore> store() const { return platform::SettingsStore::standard(); }

private:
    std::optional<TempDir> m_dir;
    std::filesystem::path m_path;
    std::optional<EnvGuard> m_environment;
    std::filesystem::path m_previous;
};

} // namespace faciward::testing
