#include "Prefs.h"

namespace faciward::prefs {

void Prefs::reset(const std::vector<std::reference_wrapper<const AnyKey>> &keys)
{
    for (const AnyKey &key : keys)
        key.reset();
}

void Prefs::reset(const std::vector<std::string> &names, platform::SettingsStore &suite)
{
    for (const auto &name : names)
        suite.removeObject(name);
}

void Prefs::removeAll(platform::SettingsStore &suite)
{
    // Take the names first: removing changes the representation.
    std::vector<std::string> names;
    for (const auto &entry : suite.dictionaryRepresentation())
        names.push_back(entry.first);
    for (const auto &name : names)
        suite.removeObject(name);
}

} // namespace faciward::prefs
