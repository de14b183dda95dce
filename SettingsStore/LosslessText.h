#pragma once

#include "Platform/Settings/Json.h"

#include <charconv>
#include <cmath>
#include <concepts>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace faciward::prefs {

/// @brief Types that print as text and are rebuilt from exactly that text: the
/// keys a stored dictionary may have. Specialised for std::string, bool
/// ("true", "false"), the integer types (decimal; a leading "+" is accepted)
/// and the floating-point types (see below).
template<class K>
struct LosslessText;

namespace detail {

// All of @p text read as a number, with a leading "+" or "-" (one sign at most:
// "++5" and "+-5" are no numbers); nothing for anything else.
template<class N>
std::optional<N> numberFromText(std::string_view text)
{
    const bool plus = text.starts_with('+');
    if (plus)
        text.remove_prefix(1);
    if (text.empty() || text.front() == '+' || (plus && text.front() == '-'))
        return std::nullopt;
    N value{};
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace detail

template<class K>
concept LosslessTextConvertible = requires(const K &key, std::string_view text) {
    { LosslessText<K>::description(key) } -> std::same_as<std::string>;
    { LosslessText<K>::fromText(text) } -> std::same_as<std::optional<K>>;
};

template<>
struct LosslessText<std::string>
{
    static std::string description(const std::string &key) { return key; }
    static std::optional<std::string> fromText(std::string_view text) { return std::string(text); }
};

template<>
struct LosslessText<bool>
{
    static std::string description(bool key) { return key ? "true" : "false"; }
    static std::optional<bool> fromText(std::string_view text)
    {
        if (text == "true")
            return true;
        if (text == "false")
            return false;
        return std::nullopt;
    }
};

template<class I>
    requires(std::integral<I> && !std::same_as<I, bool>)
struct LosslessText<I>
{
    static std::string description(I key) { return std::to_string(key); }
    static std::optional<I> fromText(std::string_view text) { return detail::numberFromText<I>(text); }
};

/// @brief Floating-point keys print as the shortest text that reads back as the
/// same number: in decimal notation with a fraction from 1e-4 to 2^53 ("1.0",
/// "0.1", "786000000.0", "-0.0"), in exponent notation outside ("1e-05",
/// "1e+16"), and "inf", "-inf", "nan". Reading takes decimal or exponent text
/// with one sign at most, and "inf", "infinity" and "nan" in any letter case;
/// a number beyond the type's range is no key.
template<std::floating_point F>
struct LosslessText<F>
{
    static std::string description(F key)
    {
        if (std::isnan(key))
            return std::signbit(key) ? "-nan" : "nan";
        if (std::isinf(key))
            return key < 0 ? "-inf" : "inf";
        std::string text;
        if constexpr (std::is_same_v<F, float>)
            platform::Json::appendDouble(text, platform::Json::withFloatDigits(key), platform::Json::DoubleForm::shortest);
        else
            platform::Json::appendDouble(text, static_cast<double>(key), platform::Json::DoubleForm::shortest);
        if (text.find_first_of(".e") == std::string::npos)
            text += ".0";
        return text;
    }
    static std::optional<F> fromText(std::string_view text) { return detail::numberFromText<F>(text); }
};

} // namespace faciward::prefs
