#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace faciward::testing {

class ScopedSettingsFile;

/// @brief Sets (or unsets) an environment variable and restores it on destruction.
class EnvGuard
{
public:
    EnvGuard(std::string name, std::optional<std::string> value);
    ~EnvGuard();
    EnvGuard(const EnvGuard &) = delete;
    EnvGuard &operator=(const EnvGuard &) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_previous;
};

/// @brief A fresh directory under the system's temporary folder, removed with its content.
class TempDir
{
public:
    explicit TempDir(const std::string &prefix = "faciward-test");
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::filesystem::path &path() const { return m_path; }
    std::filesystem::path operator/(const std::string &name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

/// @brief A temporary home: HOME, XDG_CONFIG_HOME, XDG_DOCUMENTS_DIR and the
/// settings-file override all point into a fresh folder for the guard's life.
/// The standard settings store uses settingsFile() meanwhile, even when it was
/// created before.
class TempHome
{
public:
    TempHome();
    ~TempHome();

    const std::filesystem::path &path() const { return m_dir.path(); }
    std::filesystem::path settingsFile() const { return m_dir.path() / "config/faciward/settings.json"; }
    std::filesystem::path documents() const { return m_dir.path() / "Documents"; }

private:
    TempDir m_dir;
    EnvGuard m_home;
    EnvGuard m_config;
    EnvGuard m_documents;
    EnvGuard m_settings;
    std::unique_ptr<ScopedSettingsFile> m_standardSettings;
};

/// @brief Declares that lines matching @p pattern may appear on standard error
/// during the current test. Any other line written there fails the test.
class ExpectStderr
{
public:
    explicit ExpectStderr(const std::string &pattern);
    ~ExpectStderr();
    ExpectStderr(const ExpectStderr &) = delete;
    ExpectStderr &operator=(const ExpectStderr &) = delete;

    /// @brief How many lines matched this pattern so far in the current test.
    int matched() const;

private:
    std::size_t m_index;
};

/// @brief Lines written to standard error so far in the current test.
std::vector<std::string> stderrLinesSoFar();

} // namespace faciward::testing
