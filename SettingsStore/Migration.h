#pragma once

// The definitions of Prefs::migrate; included at the end of Prefs.h.
#include "SettingsStore/Prefs.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace faciward::prefs {

/// @brief The entry, in each store that migration has touched, recording which
/// keys were migrated to which version: a dictionary from key name to version
/// number. Without it a second run would decode a key's text again; a text key
/// whose value is itself JSON text ("\"x\"") would lose a level of quoting on
/// every run.
inline constexpr std::string_view migrationMarkerName = "Prefs.migratedFormatVersions";

namespace detail {

/// @brief The entry @p name read as text, as the store's text reading gives it:
/// text as it is, a number as its decimal or shortest round-trip text, a boolean
/// as "1" or "0"; nothing for an absent entry, data, a date, an array or a dictionary.
std::optional<std::string> storedText(const platform::SettingsStore &store, std::string_view name);

/// @brief Whether @p name was migrated to @p version (or later) in @p store.
bool isMigrated(const platform::SettingsStore &store, std::string_view name, Version version);

/// @brief Records @p names as migrated to @p version in @p store.
void markMigrated(platform::SettingsStore &store, const std::vector<std::string> &names, Version version);

/// @brief Decodes the whole @p text with @p decode; nothing on any decoding error.
template<class V>
std::optional<V> decodeText(const std::string &text, const std::function<V(const platform::Json::Value &)> &decode)
{
    try {
        return decode(platform::Json::decode(text));
    } catch (const platform::JsonException &) {
    } catch (const nlohmann::json::exception &) {
    }
    return std::nullopt;
}

// Each key on its own, in list order: a key with no text, or text that does not
// decode, keeps its entry. Keys are recorded once handled, whatever became of
// them, so that a value written later in the current form is never taken for old
// text; a rewrite that could not be persisted is tried again next time.
template<class V>
void migrateKeys(const std::vector<std::reference_wrapper<const Key<V>>> &keys, Version version,
                 const std::function<V(const platform::Json::Value &)> &decode)
{
    std::map<platform::SettingsStore *, std::vector<std::string>> handled;
    for (const Key<V> &key : keys) {
        platform::SettingsStore &store = *key.suite();
        if (isMigrated(store, key.name(), version))
            continue;
        if (const auto text = storedText(store, key.name())) {
            const auto value = decodeText<V>(*text, decode);
            if (value && !Prefs::set(store, key, *value))
                continue;
        }
        handled[&store].push_back(key.name());
    }
    for (const auto &[store, names] : handled)
        markMigrated(*store, names, version);
}

} // namespace detail

template<PrefsNativeType V>
void Prefs::migrate(const std::vector<std::reference_wrapper<const Key<V>>> &keys, Version version)
{
    detail::migrateKeys<V>(keys, version, [](const platform::Json::Value &json) {
        return toNative<V>(platform::JsonCoding<typename NativeForm<V>::CodableForm>::decode(json));
    });
}

template<PrefsSerializable V>
    requires(platform::JsonCodable<V> && !PrefsNativeType<V>)
void Prefs::migrate(const std::vector<std::reference_wrapper<const Key<V>>> &keys, Version version)
{
    detail::migrateKeys<V>(keys, version,
                           [](const platform::Json::Value &json) { return platform::JsonCoding<V>::decode(json); });
}

} // namespace faciward::prefs
