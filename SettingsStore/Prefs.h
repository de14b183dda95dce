#pragma once

#include "Platform/Reactive/Publisher.h"
#include "Platform/Settings/SettingsStore.h"
#include "SettingsStore/AnyKey.h"
#include "SettingsStore/Key.h"
#include "SettingsStore/KeyChange.h"
#include "SettingsStore/ObservationOption.h"
#include "SettingsStore/PrefsNativeType.h"
#include "SettingsStore/PrefsObservation.h"
#include "SettingsStore/PrefsPublisher.h"
#include "SettingsStore/PrefsSerializable.h"
#include "SettingsStore/UserDefaultsKeyObservation.h"

#include <concepts>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace faciward::prefs {

/// @brief Typed access to settings: the static operations of the library.
///
/// Reads give the stored value converted to the key's type, else the key's
/// default. Writes convert the value and store it; a value that does not
/// convert leaves what is stored untouched and the write returns false.
struct Prefs
{
    Prefs() = delete;

    /// @brief The value of @p key in its own suite.
    template<PrefsSerializable V>
    static V get(const Key<V> &key)
    {
        return get(*key.suite(), key);
    }

    /// @brief The value of @p key in @p store (not in the key's suite).
    template<PrefsSerializable V>
    static V get(const platform::SettingsStore &store, const Key<V> &key)
    {
        if (auto value = typedGet<V>(store, key.name()))
            return std::move(*value);
        return key.defaultValue();
    }

    /// @brief Writes @p value for @p key in its own suite; the empty optional removes the entry.
    /// @return false when nothing was stored: the value did not convert, or could not be persisted.
    template<PrefsSerializable V>
    static bool set(const Key<V> &key, const V &value)
    {
        return set(*key.suite(), key, value);
    }

    /// @brief As set(key, value), in @p store.
    template<PrefsSerializable V>
    static bool set(platform::SettingsStore &store, const Key<V> &key, const V &value)
    {
        return typedSet(store, key.name(), value);
    }

    /// @brief The stored value under @p name converted to V, or nothing when
    /// nothing usable is stored (registered defaults count as stored).
    template<PrefsSerializable V>
    static std::optional<V> typedGet(const platform::SettingsStore &store, std::string_view name)
    {
        const auto object = store.objectSnapshot(name);
        if (!object)
            return std::nullopt;
        auto value = toValue<V>(*object);
        if (!value)
            store.reportUndecodable(name);
        return value;
    }

    /// @brief Stores @p value under @p name; the empty optional removes the entry.
    /// @return false when nothing was stored; what was stored before is kept.
    template<PrefsSerializable V>
    static bool typedSet(platform::SettingsStore &store, const std::string &name, const V &value)
    {
        if (isNil(value))
            return store.removeObject(name);
        auto object = toSerializable(value);
        if (!object)
            return false;
        return store.setObject(name, std::move(*object));
    }

    /// @brief Atomic read-modify-write of @p key in its suite: @p mutate gets the
    /// current value (as get() reads it) to change in place, and the result is
    /// written back with no other change of the store in between. @p mutate runs
    /// under the store's write lock and must not write to the store.
    /// @return false when nothing was stored (see set()).
    template<PrefsSerializable V, class F>
        requires std::invocable<F &, V &>
    static bool update(const Key<V> &key, F &&mutate)
    {
        return update(*key.suite(), key, std::forward<F>(mutate));
    }

    /// @brief As update(key, mutate), in @p store.
    template<PrefsSerializable V, class F>
        requires std::invocable<F &, V &>
    static bool update(platform::SettingsStore &store, const Key<V> &key, F &&mutate)
    {
        struct Unconvertible
        {
        };
        try {
            return store.update(key.name(), [&](std::optional<platform::PlistValue> current)
                                                 -> std::optional<platform::PlistValue> {
                std::optional<V> converted = current ? toValue<V>(*current) : std::nullopt;
                V value = converted ? std::move(*converted) : key.defaultValue();
                mutate(value);
                if (isNil(value))
                    return std::nullopt;
                auto object = toSerializable(value);
                if (!object)
                    throw Unconvertible{};
                return object;
            });
        } catch (const Unconvertible &) {
            return false;
        }
    }

    /// @brief Removes the entries of @p keys, each from its own suite, in list order.
    static void reset(const std::vector<std::reference_wrapper<const AnyKey>> &keys);

    /// @brief Removes the entries of @p keys, each from its own suite, in order.
    template<std::derived_from<AnyKey>... K>
    static void reset(const K &...keys)
    {
        reset(std::vector<std::reference_wrapper<const AnyKey>>{std::cref(static_cast<const AnyKey &>(keys))...});
    }

    /// @brief Removes the entries named @p names from @p suite, in list order.
    static void reset(const std::vector<std::string> &names, platform::SettingsStore &suite);

    /// @brief Removes every entry of @p suite's dictionary representation.
    static void removeAll(platform::SettingsStore &suite);

    // --- observation ---------------------------------------------------------------

    /// @brief Observes @p key in its suite: @p handler gets the typed record of each
    /// change, on the thread that made it (see ObservationOption for what
    /// @p options add). Runs until the result is stopped or released.
    template<PrefsSerializable V>
    [[nodiscard]] static std::shared_ptr<PrefsObservation>
    observe(const Key<V> &key, const ObservationOptions &options,
            std::type_identity_t<std::function<void(const KeyChange<V> &)>> handler)
    {
        auto observation = UserDefaultsKeyObservation::create(
            key.suite(), key.name(),
            [handler = std::move(handler), defaultValue = key.defaultValue()](const BaseChange &change) {
                handler(KeyChange<V>::from(change, defaultValue));
            });
        observation->start(options);
        return observation;
    }

    /// @brief Observes several keys, each in its own suite: @p handler is called for
    /// every record of any of them, without being told which. Runs until the result
    /// is stopped or released.
    [[nodiscard]] static std::shared_ptr<PrefsObservation>
    observe(const std::vector<std::reference_wrapper<const AnyKey>> &keys, const ObservationOptions &options,
            std::function<void()> handler);

    // --- publishers ----------------------------------------------------------------

    /// @brief The typed records of @p key's changes, as a publisher that never
    /// fails nor completes; each subscriber observes on its own.
    template<PrefsSerializable V>
    static platform::Publisher<KeyChange<V>> publisher(const Key<V> &key, const ObservationOptions &options = {})
    {
        return PrefsPublisher(key.suite(), key.name(), options)
            .eraseToAnyPublisher()
            .map([defaultValue = key.defaultValue()](const BaseChange &change) {
                return KeyChange<V>::from(change, defaultValue);
            });
    }

    /// @brief A value-less element for every record of any of @p keys, merged in
    /// list order; over no keys, a publisher that emits nothing. Never completes.
    static platform::Publisher<platform::Void> publisher(const std::vector<std::reference_wrapper<const AnyKey>> &keys,
                                                         const ObservationOptions &options = {});

    // --- migration (defined in Migration.h) ----------------------------------------

    /// @brief Rewrites the entries of @p keys that an older format kept as JSON
    /// text in their current stored form: each entry's text is decoded as the
    /// key type's codable form and written back through set(). Each key is
    /// migrated once per version; later calls leave it alone.
    template<PrefsNativeType V>
    static void migrate(const std::vector<std::reference_wrapper<const Key<V>>> &keys, Version version);

    /// @brief As above, for keys of a JSON-codable type kept through a bridge:
    /// the text is decoded as the type itself.
    template<PrefsSerializable V>
        requires(platform::JsonCodable<V> && !PrefsNativeType<V>)
    static void migrate(const std::vector<std::reference_wrapper<const Key<V>>> &keys, Version version);
};

} // namespace faciward::prefs

#include "SettingsStore/Migration.h"
