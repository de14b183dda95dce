#pragma once

#include "Platform/Settings/JsonCoding.h"
#include "Platform/Settings/PlistDate.h"
#include "Platform/Settings/PlistValue.h"
#include "SettingsStore/LosslessText.h"
#include "SettingsStore/RawRepresentableBridge.h"

#include <concepts>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace faciward::prefs {

/// @brief The storage formats that migration converts to.
enum class Version : int { v5 = 5 };

/// @brief The version of raw value @p raw; nothing for a number that names none.
constexpr std::optional<Version> versionFromRaw(int raw)
{
    if (raw == static_cast<int>(Version::v5))
        return Version::v5;
    return std::nullopt;
}

/// @brief How a type the store keeps natively was written by an older format:
/// `CodableForm` is the type its old JSON text decodes as, and
/// `toNative(CodableForm)` turns that into the value. Specialised for the
/// plain stored types and web addresses (each its own codable form), and for
/// lists, dictionaries with text-convertible keys, optionals and sets of them.
///
/// A specialisation may leave `toNative` out when both the value and its codable
/// form are raw-representable with the same raw value type: the value is then
/// made from the codable form's raw value (an enumeration written by an older
/// format under another type, say).
template<class T>
struct NativeForm;

namespace detail {

template<class T>
concept HasOwnToNative = requires(typename NativeForm<T>::CodableForm form) {
    { NativeForm<T>::toNative(std::move(form)) } -> std::same_as<T>;
};

template<class T>
concept ConvertsByRawValue = RawRepresentable<T> && RawRepresentable<typename NativeForm<T>::CodableForm> &&
    std::same_as<typename RawRepresentation<T>::RawValue,
                 typename RawRepresentation<typename NativeForm<T>::CodableForm>::RawValue>;

template<class T>
concept NativeLeaf = std::integral<T> || std::floating_point<T> || std::same_as<T, std::string> ||
    std::same_as<T, platform::PlistData> || std::same_as<T, platform::PlistDate>;

} // namespace detail

/// @brief Types whose entries migration reads as the JSON text of their codable form.
template<class T>
concept PrefsNativeType = requires { typename NativeForm<T>::CodableForm; } &&
    platform::JsonCodable<typename NativeForm<T>::CodableForm> &&
    (detail::HasOwnToNative<T> || detail::ConvertsByRawValue<T>);

/// @brief @p form, decoded from old JSON text, as the value T.
/// @throws platform::JsonException (dataCorrupted) when T has no value for the raw
/// value of @p form; migration then leaves the entry as it is.
template<PrefsNativeType T>
T toNative(typename NativeForm<T>::CodableForm form)
{
    if constexpr (detail::HasOwnToNative<T>) {
        return NativeForm<T>::toNative(std::move(form));
    } else {
        using Form = typename NativeForm<T>::CodableForm;
        if (auto value = RawRepresentation<T>::fromRawValue(RawRepresentation<Form>::rawValue(form)))
            return std::move(*value);
        throw platform::JsonException(platform::JsonError::dataCorrupted,
                                      "The raw value names no value of the native type.");
    }
}

/// @brief Base of the forms of a type that is its own codable form.
template<class T>
struct SelfNativeForm
{
    using CodableForm = T;
    static T toNative(T value) { return value; }
};

template<detail::NativeLeaf T>
struct NativeForm<T> : SelfNativeForm<T>
{
};

template<PrefsNativeType E>
struct NativeForm<std::vector<E>>
{
    using CodableForm = std::vector<typename NativeForm<E>::CodableForm>;
    static std::vector<E> toNative(CodableForm elements)
    {
        std::vector<E> result;
        result.reserve(elements.size());
        for (auto &element : elements)
            result.push_back(prefs::toNative<E>(std::move(element)));
        return result;
    }
};

/// @brief A dictionary was written with its keys' text, as the store keeps it; a
/// text that rebuilds no key is left out.
template<LosslessTextConvertible K, PrefsNativeType V>
struct NativeForm<std::map<K, V>>
{
    using CodableForm = std::map<std::string, typename NativeForm<V>::CodableForm>;
    static std::map<K, V> toNative(CodableForm entries)
    {
        std::map<K, V> result;
        for (auto &[text, value] : entries)
            if (auto key = LosslessText<K>::fromText(text))
                result.insert_or_assign(std::move(*key), prefs::toNative<V>(std::move(value)));
        return result;
    }
};

/// @brief An optional was written as its wrapped value; "null" decodes as nothing.
template<PrefsNativeType T>
struct NativeForm<std::optional<T>>
{
    using CodableForm = typename NativeForm<T>::CodableForm;
    static std::optional<T> toNative(CodableForm value) { return prefs::toNative<T>(std::move(value)); }
};

/// @brief A set was written as an array of its elements.
template<PrefsNativeType E>
struct NativeForm<std::set<E>>
{
    using CodableForm = std::vector<typename NativeForm<E>::CodableForm>;
    static std::set<E> toNative(CodableForm elements)
    {
        std::set<E> result;
        for (auto &element : elements)
            result.insert(prefs::toNative<E>(std::move(element)));
        return result;
    }
};

} // namespace faciward::prefs
