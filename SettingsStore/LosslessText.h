#pragma once

#include <charconv>
#include <concepts>
#include <optional>
#include <string>
#include <string_view>

namespace faciward::prefs {

/// @brief Types that print as text and are rebuilt from exactly that text: the
/// keys a stored dictionary may have. Specialised for std::string, bool
/// ("true", "false") and the integer types (decimal; a leading "+" is accepted).
template<class K>
struct LosslessText;

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
    static std::optional<I> fromText(std::string_view text)
    {
        const bool plus = text.starts_with('+');
        if (plus)
            text.remove_prefix(1);
        // One sign at most: "++5" and "+-5" are no numbers.
        if (text.empty() || text.front() == '+' || (plus && text.front() == '-'))
            return std::nullopt;
        I value{};
        const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
        if (result.ec != std::errc() || result.ptr != text.data() + text.size())
            return std::nullopt;
        return value;
    }
};

} // namespace faciward::prefs
