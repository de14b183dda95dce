#include "ScopedSettingsFile.h"

namespace faciward::testing {

ScopedSettingsFile::ScopedSettingsFile()
    : m_dir(std::in_place, "faciward-settings")
    , m_path(m_dir->path() / "faciward" / "settings.json")
    , m_previous(platform::SettingsStore::standard()->filePath())
{
    m_environment.emplace("FACIWARD_SETTINGS_FILE", m_path.string());
    platform::SettingsStore::standard()->relocate(m_path);
}

ScopedSettingsFile::ScopedSettingsFile(std::filesystem::path file)
    : m_path(std::move(file))
    , m_previous(platform::SettingsStore::standard()->filePath())
{
    platform::SettingsStore::standard()->relocate(m_path);
}

ScopedSettingsFile::~ScopedSettingsFile()
{
    platform::SettingsStore::standard()->relocate(m_previous);
}

} // namespace faciward::testing
