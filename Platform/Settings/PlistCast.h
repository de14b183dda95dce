#pragma once

#include "Platform/Settings/PlistValue.h"

#include <cmath>
#include <concepts>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace faciward::platform {

/// @brief How a C++ type is held in a PlistValue, and read back from one.
///
/// `make` turns a value into its property-list object; `cast` reads an object
/// back and gives nothing when it is not of the type. Casts follow the number
/// bridging of the store, where a boolean is the number 0 or 1:
/// - an integer type takes an int64 or uint64 in its range, a double with no
///   fractional part in its range, or a boolean (true reads 1);
/// - double takes any double, any integer it represents exactly, or a boolean
///   (true reads 1.0);
/// - bool takes a boolean, or a number equal to 0 or 1 (1.0 reads true);
/// - text, data and dates take only their own type, so a text is never a number;
/// - arrays and text-keyed dictionaries cast when every element casts.
///
/// Specialised for bool, every integer type, float, double, std::string,
/// PlistData, PlistDate, PlistValue, std::optional, std::vector and std::map
/// with text keys.
///
/// The store keeps no "none": `make` of an empty optional gives nothing, and so
/// does `make` of a list or dictionary that holds one anywhere. Only these
/// give a std::optional<PlistValue>; every other type a PlistValue.
template<class T>
struct PlistCast;

/// @brief Types a PlistValue can hold unconverted (possibly nested).
template<class T>
concept PlistCastable = requires(const T &value, const PlistValue &object) {
    { PlistCast<T>::make(value) } -> std::convertible_to<std::optional<PlistValue>>;
    { PlistCast<T>::cast(object) } -> std::same_as<std::optional<T>>;
};

/// @brief Castable types of which some values have no object: those holding an
/// empty optional.
template<class T>
concept PartlyPlistCastable = PlistCastable<T> && requires(const T &value) {
    { PlistCast<T>::make(value) } -> std::same_as<std::optional<PlistValue>>;
};

namespace detail {

// What make() of a container of T gives: nothing when an element has no object.
template<class T>
using MadeFrom = std::conditional_t<PartlyPlistCastable<T>, std::optional<PlistValue>, PlistValue>;

} // namespace detail

template<>
struct PlistCast<PlistValue>
{
    static PlistValue make(const PlistValue &value) { return value; }
    static std::optional<PlistValue> cast(const PlistValue &object) { return object; }
};

template<>
struct PlistCast<bool>
{
    static PlistValue make(bool value) { return PlistValue(value); }
    static std::optional<bool> cast(const PlistValue &object)
    {
        if (const bool *b = object.getIf<bool>())
            return *b;
        if (const auto *i = object.getIf<std::int64_t>(); i && (*i == 0 || *i == 1))
            return *i == 1;
        if (const auto *u = object.getIf<std::uint64_t>(); u && (*u == 0 || *u == 1))
            return *u == 1;
        if (const double *d = object.getIf<double>(); d && (*d == 0 || *d == 1))
            return *d == 1;
        return std::nullopt;
    }
};

template<class I>
    requires(std::integral<I> && !std::same_as<I, bool>)
struct PlistCast<I>
{
    static PlistValue make(I value) { return PlistValue(value); }
    static std::optional<I> cast(const PlistValue &object)
    {
        if (const bool *b = object.getIf<bool>()) {
            return static_cast<I>(*b ? 1 : 0);
        } else if (const auto *i = object.getIf<std::int64_t>()) {
            if (std::in_range<I>(*i))
                return static_cast<I>(*i);
        } else if (const auto *u = object.getIf<std::uint64_t>()) {
            if (std::in_range<I>(*u))
                return static_cast<I>(*u);
        } else if (const double *d = object.getIf<double>()) {
            // Only whole numbers inside the range: 7.0 reads 7, 7.5 reads nothing.
            constexpr double low = static_cast<double>(std::numeric_limits<I>::min());
            // 2^digits, exact as a double: one above the largest value.
            constexpr double high = 2.0 * static_cast<double>(std::numeric_limits<I>::max() / 2 + 1);
            if (std::isfinite(*d) && std::trunc(*d) == *d && *d >= low && *d < high)
                return static_cast<I>(*d);
        }
        return std::nullopt;
    }
};

template<std::floating_point F>
struct PlistCast<F>
{
    static PlistValue make(F value) { return PlistValue(static_cast<double>(value)); }
    static std::optional<F> cast(const PlistValue &object)
    {
        if (const double *d = object.getIf<double>()) {
            if constexpr (std::is_same_v<F, double>) {
                return *d;
            } else {
                if (std::isfinite(*d) && std::fabs(*d) > static_cast<double>(std::numeric_limits<F>::max()))
                    return std::nullopt;
                return static_cast<F>(*d);
            }
        }
        if (const auto *i = object.getIf<std::int64_t>())
            return exact(*i);
        if (const auto *u = object.getIf<std::uint64_t>())
            return exact(*u);
        if (const bool *b = object.getIf<bool>())
            return static_cast<F>(*b ? 1 : 0);
        return std::nullopt;
    }

private:
    template<class I>
    static std::optional<F> exact(I value)
    {
        const F converted = static_cast<F>(value);
        // The integer must survive the round trip; the range test keeps the cast back defined.
        if (converted >= static_cast<F>(std::numeric_limits<I>::max()) ||
            converted < static_cast<F>(std::numeric_limits<I>::min()))
            return std::nullopt;
        if (static_cast<I>(converted) != value)
            return std::nullopt;
        return converted;
    }
};

template<>
struct PlistCast<std::string>
{
    static PlistValue make(const std::string &value) { return PlistValue(value); }
    static std::optional<std::string> cast(const PlistValue &object)
    {
        if (const auto *s = object.getIf<std::string>())
            return *s;
        return std::nullopt;
    }
};

template<>
struct PlistCast<PlistData>
{
    static PlistValue make(const PlistData &value) { return PlistValue(value); }
    static std::optional<PlistData> cast(const PlistValue &object)
    {
        if (const auto *d = object.getIf<PlistData>())
            return *d;
        return std::nullopt;
    }
};

template<>
struct PlistCast<PlistDate>
{
    static PlistValue make(const PlistDate &value) { return PlistValue(value); }
    static std::optional<PlistDate> cast(const PlistValue &object)
    {
        if (const auto *d = object.getIf<PlistDate>())
            return *d;
        return std::nullopt;
    }
};

/// @brief An optional inside a list or dictionary: a present value is kept as
/// the value itself; an empty one has no object. Every object read is present.
template<PlistCastable T>
struct PlistCast<std::optional<T>>
{
    static std::optional<PlistValue> make(const std::optional<T> &value)
    {
        if (!value)
            return std::nullopt;
        return PlistCast<T>::make(*value);
    }
    static std::optional<std::optional<T>> cast(const PlistValue &object)
    {
        auto value = PlistCast<T>::cast(object);
        if (!value)
            return std::nullopt;
        return std::optional<T>(std::move(*value));
    }
};

template<PlistCastable T>
struct PlistCast<std::vector<T>>
{
    static detail::MadeFrom<T> make(const std::vector<T> &value)
    {
        PlistArray array;
        array.reserve(value.size());
        for (const auto &element : value) {
            auto object = PlistCast<T>::make(element);
            if constexpr (PartlyPlistCastable<T>) {
                if (!object)
                    return std::nullopt;
                array.push_back(std::move(*object));
            } else {
                array.push_back(std::move(object));
            }
        }
        return PlistValue(std::move(array));
    }
    static std::optional<std::vector<T>> cast(const PlistValue &object)
    {
        if constexpr (std::same_as<T, std::uint8_t>) {
            // Lists of bytes were once stored as data, and still read.
            if (const auto *data = object.getIf<PlistData>())
                return std::vector<T>(*data);
        }
        const auto *array = object.getIf<PlistArray>();
        if (!array)
            return std::nullopt;
        std::vector<T> result;
        result.reserve(array->size());
        for (const auto &element : *array) {
            auto converted = PlistCast<T>::cast(element);
            if (!converted)
                return std::nullopt;
            result.push_back(std::move(*converted));
        }
        return result;
    }
};

template<PlistCastable T, class Compare, class Allocator>
struct PlistCast<std::map<std::string, T, Compare, Allocator>>
{
    using Map = std::map<std::string, T, Compare, Allocator>;
    static detail::MadeFrom<T> make(const Map &value)
    {
        PlistDictionary dictionary;
        for (const auto &[key, element] : value) {
            auto object = PlistCast<T>::make(element);
            if constexpr (PartlyPlistCastable<T>) {
                if (!object)
                    return std::nullopt;
                dictionary.emplace(key, std::move(*object));
            } else {
                dictionary.emplace(key, std::move(object));
            }
        }
        return PlistValue(std::move(dictionary));
    }
    static std::optional<Map> cast(const PlistValue &object)
    {
        const auto *dictionary = object.getIf<PlistDictionary>();
        if (!dictionary)
            return std::nullopt;
        Map result;
        for (const auto &[key, element] : *dictionary) {
            auto converted = PlistCast<T>::cast(element);
            if (!converted)
                return std::nullopt;
            result.emplace(key, std::move(*converted));
        }
        return result;
    }
};

} // namespace faciward::platform
