#include "Migration.h"

#include "Platform/Settings/PlistCast.h"

#include <charconv>

namespace faciward::prefs::detail {

using platform::PlistDictionary;
using platform::PlistValue;

std::optional<std::string> storedText(const platform::SettingsStore &store, std::string_view name)
{
    const auto object = store.objectSnapshot(name);
    if (!object)
        return std::nullopt;
    if (const auto *text = object->getIf<std::string>())
        return *text;
    if (const auto *b = object->getIf<bool>())
        return *b ? "1" : "0";
    if (const auto *i = object->getIf<std::int64_t>())
        return std::to_string(*i);
    if (const auto *u = object->getIf<std::uint64_t>())
        return std::to_string(*u);
    if (const auto *d = object->getIf<double>()) {
        char buffer[32];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, *d).ptr;
        return std::string(buffer, end);
    }
    return std::nullopt;
}

bool isMigrated(const platform::SettingsStore &store, std::string_view name, Version version)
{
    const auto marker = store.objectSnapshot(migrationMarkerName);
    const auto *versions = marker ? marker->getIf<PlistDictionary>() : nullptr;
    if (!versions)
        return false;
    const auto entry = versions->find(name);
    if (entry == versions->end())
        return false;
    const auto migrated = platform::PlistCast<int>::cast(entry->second);
    return migrated && *migrated >= static_cast<int>(version);
}

void markMigrated(platform::SettingsStore &store, const std::vector<std::string> &names, Version version)
{
    const PlistValue number(static_cast<std::int64_t>(version));
    store.update(std::string(migrationMarkerName), [&](std::optional<PlistValue> current) -> std::optional<PlistValue> {
        auto *versions = current ? current->getIf<PlistDictionary>() : nullptr;
        PlistDictionary updated = versions ? std::move(*versions) : PlistDictionary();
        for (const auto &name : names)
            updated.insert_or_assign(name, number);
        return std::optional<PlistValue>(std::in_place, std::move(updated));
    });
}

} // namespace faciward::prefs::detail
