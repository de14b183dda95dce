#pragma once

#include "Platform/Settings/PlistCast.h"
#include "Platform/Settings/PlistValue.h"
#include "SettingsStore/ArrayBridge.h"
#include "SettingsStore/CollectionBridge.h"
#include "SettingsStore/DictionaryBridge.h"
#include "SettingsStore/PrefsCodableBridge.h"
#include "SettingsStore/PrefsBridge.h"
#include "SettingsStore/RawRepresentableBridge.h"
#include "SettingsStore/SerializableTraits.h"

#include <concepts>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

namespace faciward::prefs {

// --- the standard storable types ----------------------------------------------

// Booleans, numbers, text, data and dates are kept as they are; when the stored
// object is of another type they are read through their JSON text form, so the
// text "7" reads 7 under an integer key.
template<>
struct SerializableTraits<bool> : NativeSerializable<TopLevelCodableBridge<bool>>
{
};
template<class I>
    requires(std::integral<I> && !std::same_as<I, bool>)
struct SerializableTraits<I> : NativeSerializable<TopLevelCodableBridge<I>>
{
};
template<std::floating_point F>
struct SerializableTraits<F> : NativeSerializable<TopLevelCodableBridge<F>>
{
};
template<>
struct SerializableTraits<std::string> : NativeSerializable<TopLevelCodableBridge<std::string>>
{
};
template<>
struct SerializableTraits<platform::PlistData> : NativeSerializable<TopLevelCodableBridge<platform::PlistData>>
{
};
template<>
struct SerializableTraits<platform::PlistDate> : NativeSerializable<TopLevelCodableBridge<platform::PlistDate>>
{
};

/// @brief An optional is stored like the value it holds; the empty optional is not stored.
template<class T>
struct SerializableTraits<std::optional<T>>
{
    using Bridge = OptionalBridge<typename SerializableTraits<T>::Bridge>;
    static constexpr bool isNativelySupported = SerializableTraits<T>::isNativelySupported;
};

/// @brief A list is kept unconverted exactly when its elements are.
template<class E>
struct SerializableTraits<std::vector<E>>
{
    using Bridge = ArrayBridge<E>;
    static constexpr bool isNativelySupported = SerializableTraits<E>::isNativelySupported;
};

/// @brief A dictionary is kept unconverted only when its keys are text and its
/// values are natively supported; other keys go through their text form.
template<LosslessTextConvertible K, class V, class Compare, class Allocator>
struct SerializableTraits<std::map<K, V, Compare, Allocator>>
{
    using Bridge = DictionaryBridge<K, V, std::map<K, V, Compare, Allocator>>;
    static constexpr bool isNativelySupported =
        std::same_as<K, std::string> && SerializableTraits<V>::isNativelySupported;
};

/// @brief Sets are never kept unconverted: they become arrays.
template<class T, class Compare, class Allocator>
struct SerializableTraits<std::set<T, Compare, Allocator>> : BridgedSerializable<SetBridge<std::set<T, Compare, Allocator>>>
{
};
template<class T, class Hash, class Equal, class Allocator>
struct SerializableTraits<std::unordered_set<T, Hash, Equal, Allocator>>
    : BridgedSerializable<SetBridge<std::unordered_set<T, Hash, Equal, Allocator>>>
{
};

/// @brief Base of the traits of a codable type kept as JSON text (the usual
/// choice for the application's own records).
template<platform::JsonCodable T>
struct CodableSerializable : BridgedSerializable<TopLevelCodableBridge<T>>
{
};

// --- the concept and the two conversions -------------------------------------------

/// @brief Every type a key can hold: its traits name a bridge, and a natively
/// supported type is one a PlistValue holds unconverted.
template<class T>
concept PrefsSerializable = requires {
    typename SerializableTraits<T>::Bridge;
    { SerializableTraits<T>::isNativelySupported } -> std::convertible_to<bool>;
} && PrefsBridge<typename SerializableTraits<T>::Bridge> &&
    (OptionalType<T> || !SerializableTraits<T>::isNativelySupported || platform::PlistCastable<T>);

/// @brief The stored object of @p value: the value itself when natively
/// supported, else what its bridge makes of it; nothing when that fails (a
/// JSON bridge then has printed why) or for the empty optional.
template<PrefsSerializable T>
std::optional<platform::PlistValue> toSerializable(const T &value)
{
    if constexpr (OptionalType<T>) {
        if (!value)
            return std::nullopt;
        return toSerializable(*value);
    } else if constexpr (SerializableTraits<T>::isNativelySupported) {
        return platform::PlistCast<T>::make(value);
    } else {
        using Bridge = typename SerializableTraits<T>::Bridge;
        auto stored = Bridge{}.serialize(std::optional<typename Bridge::Value>(value));
        if (!stored)
            return std::nullopt;
        return platform::PlistCast<typename Bridge::Serializable>::make(*stored);
    }
}

/// @brief The value of type T an object read from the store stands for: the
/// object itself when T is natively supported and the object is of that type,
/// else what T's bridge makes of it; nothing when that fails.
template<PrefsSerializable T>
std::optional<T> toValue(const platform::PlistValue &object)
{
    if constexpr (OptionalType<T>) {
        auto value = toValue<typename T::value_type>(object);
        if (!value)
            return std::nullopt;
        return T(std::move(*value));
    } else {
        if constexpr (SerializableTraits<T>::isNativelySupported) {
            if (auto value = platform::PlistCast<T>::cast(object))
                return value;
        }
        using Bridge = typename SerializableTraits<T>::Bridge;
        auto stored = platform::PlistCast<typename Bridge::Serializable>::cast(object);
        if (!stored)
            return std::nullopt;
        auto value = Bridge{}.deserialize(stored);
        if (!value)
            return std::nullopt;
        return T(std::move(*value));
    }
}

} // namespace faciward::prefs
