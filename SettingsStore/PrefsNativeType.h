#pragma once

#include "Platform/Settings/JsonCoding.h"
#include "Platform/Settings/PlistDate.h"
#include "Platform/Settings/PlistValue.h"

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
/// plain stored types (each its own codable form), and for lists, text-keyed
/// dictionaries, optionals and sets of them.
template<class T>
struct NativeForm;

/// @brief Types whose entries migration reads as the JSON text of their codable form.
template<class T>
concept PrefsNativeType = requires { typename NativeForm<T>::CodableForm; } &&
    platform::JsonCodable<typename NativeForm<T>::CodableForm>;

namespace detail {
template<class T>
concept NativeLeaf = std::integral<T> || std::floating_point<T> || std::same_as<T, std::string> ||
    std::same_as<T, platform::PlistData> || std::same_as<T, platform::PlistDate>;
} // namespace detail

template<detail::NativeLeaf T>
struct NativeForm<T>
{
    using CodableForm = T;
    static T toNative(T value) { return value; }
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
            result.push_back(NativeForm<E>::toNative(std::move(element)));
        return result;
    }
};

template<PrefsNativeType V>
struct NativeForm<std::map<std::string, V>>
{
    using CodableForm = std::map<std::string, typename NativeForm<V>::CodableForm>;
    static std::map<std::string, V> toNative(CodableForm entries)
    {
        std::map<std::string, V> result;
        for (auto &[key, value] : entries)
            result.emplace(key, NativeForm<V>::toNative(std::move(value)));
        return result;
    }
};

/// @brief An optional was written as its wrapped value; "null" decodes as nothing.
template<PrefsNativeType T>
struct NativeForm<std::optional<T>>
{
    using CodableForm = typename NativeForm<T>::CodableForm;
    static std::optional<T> toNative(CodableForm value) { return NativeForm<T>::toNative(std::move(value)); }
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
            result.insert(NativeForm<E>::toNative(std::move(element)));
        return result;
    }
};

} // namespace faciward::prefs
