#pragma once

#include "Platform/Settings/PlistValue.h"
#include "SettingsStore/PrefsSerializable.h"

#include <concepts>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace faciward::prefs {

using platform::CharacterType;

/// @brief A settings value of no fixed type, held in its stored form.
///
/// Lets a key hold values of changing types, and lets mixed arrays and
/// dictionaries be written as literals:
///     AnySerializable n = 1;                       // an integer
///     AnySerializable list{1, "two", 3.0};         // braces make an array
///     AnySerializable dict = AnySerializable::Dictionary{{"a", 1}, {"b", {true, 2}}};
/// (Braces always make an array, so a single scalar is written with "=" or
/// parentheses.) Text literals of every character type are text, and so is a
/// character ('a' is "a"); signed and unsigned char are integers. Giving a
/// dictionary literal the same key twice, or putting a value that holds nothing
/// into an array or dictionary literal, is a programming error and stops the
/// program, in every build type.
///
/// A value that holds nothing (the nil literal, an absent optional, a failed
/// conversion) is nil: writing it through a key removes the entry.
///
/// Equality walks the stored types in a fixed order (data, date, boolean, the
/// integer types, the floating-point types, text, dictionary, array), and the
/// first type both sides convert to decides:
/// - numbers compare by value across integer and floating-point types (1 equals
///   1.0); a boolean equals only a boolean; 1 is not "1";
/// - 0.0 equals -0.0, and a NaN equals nothing, itself included;
/// - dictionaries compare member by member whatever their order, arrays in order.
/// A value that holds nothing converts to none of those types, so it is unequal
/// to every value, itself included, like a NaN; neither can be found again in a
/// hash container. Equal values hash alike.
class AnySerializable
{
public:
    /// @brief A dictionary literal: the pairs of @p entries, each key once.
    struct Dictionary
    {
        Dictionary(std::initializer_list<std::pair<const std::string, AnySerializable>> entries);
        platform::PlistDictionary entries;
    };

    /// @brief Holds nothing.
    AnySerializable() = default;
    AnySerializable(std::nullptr_t) {}
    AnySerializable(bool value)
        : m_value(platform::PlistValue(value))
    {
    }
    /// @brief An integer; characters are text, not their code (see below).
    template<std::integral I>
        requires(!std::same_as<I, bool> && !CharacterType<I>)
    AnySerializable(I value)
        : m_value(platform::PlistValue(value))
    {
    }
    AnySerializable(double value)
        : m_value(platform::PlistValue(value))
    {
    }
    AnySerializable(float value)
        : m_value(platform::PlistValue(value))
    {
    }
    AnySerializable(const char *text)
        : m_value(platform::PlistValue(text))
    {
    }
    AnySerializable(std::string text)
        : m_value(platform::PlistValue(std::move(text)))
    {
    }
    AnySerializable(std::string_view text)
        : m_value(platform::PlistValue(text))
    {
    }
    /// @brief Text of the other character types, kept as UTF-8. Without these a
    /// u8"…", u"…", U"…" or L"…" literal would pass for the Boolean true, through
    /// the pointer's conversion. Text that is no valid Unicode holds nothing.
    AnySerializable(const char8_t *text);
    AnySerializable(const char16_t *text);
    AnySerializable(const char32_t *text);
    AnySerializable(const wchar_t *text);
    /// @brief A character is text of that one character ('a' is "a", not 97). A
    /// code unit that is no character on its own (a UTF-8 lead byte, half of a
    /// surrogate pair) holds nothing.
    template<CharacterType C>
    AnySerializable(C character)
    {
        if constexpr (std::same_as<C, char>) {
            const auto unit = static_cast<char8_t>(character);
            m_value = utf8Text(std::u8string_view(&unit, 1));
        } else {
            m_value = utf8Text(std::basic_string_view<C>(&character, 1));
        }
    }
    /// @brief Any other pointer is refused, rather than taken for a Boolean.
    template<class T>
    AnySerializable(const T *) = delete;
    /// @brief An array literal: the elements in their order.
    AnySerializable(std::initializer_list<AnySerializable> elements);
    AnySerializable(Dictionary dictionary)
        : m_value(platform::PlistValue(std::move(dictionary.entries)))
    {
    }
    /// @brief Holds @p object as it is, or nothing when it is absent (how the
    /// bridge reads a stored object).
    explicit AnySerializable(std::optional<platform::PlistValue> object)
        : m_value(std::move(object))
    {
    }

    /// @brief Holds the stored form of @p value, or nothing when it does not convert.
    template<PrefsSerializable T>
    static AnySerializable from(const T &value)
    {
        return AnySerializable(toSerializable(value));
    }

    /// @brief The held value converted to T; nothing when it does not convert.
    template<PrefsSerializable T>
    std::optional<T> get() const
    {
        if (!m_value)
            return std::nullopt;
        return toValue<T>(*m_value);
    }

    /// @brief Replaces the held value with the stored form of @p value (nothing
    /// when it does not convert).
    template<PrefsSerializable T>
    void set(const T &value)
    {
        m_value = toSerializable(value);
    }

    /// @brief True when it holds nothing.
    bool isNil() const { return !m_value.has_value(); }
    /// @brief The held stored form; empty when it holds nothing.
    const std::optional<platform::PlistValue> &value() const { return m_value; }

    bool operator==(const AnySerializable &other) const;
    /// @brief Consistent with ==: equal values give the same hash.
    std::size_t hash() const;

private:
    /// @brief @p text as UTF-8 text; nothing when it is no valid Unicode.
    static std::optional<platform::PlistValue> utf8Text(std::u8string_view text);
    static std::optional<platform::PlistValue> utf8Text(std::u16string_view text);
    static std::optional<platform::PlistValue> utf8Text(std::u32string_view text);
    static std::optional<platform::PlistValue> utf8Text(std::wstring_view text);

    std::optional<platform::PlistValue> m_value;
};

/// @brief The bridge of the type-erased value. Writing gives the held stored
/// form; reading wraps whatever is stored, and an empty input gives a value
/// holding nothing rather than no value: the one bridge that does not map
/// empty to empty.
struct AnyBridge
{
    using Value = AnySerializable;
    using Serializable = platform::PlistValue;

    std::optional<platform::PlistValue> serialize(const std::optional<AnySerializable> &value) const
    {
        if (!value)
            return std::nullopt;
        return value->value();
    }
    std::optional<AnySerializable> deserialize(const std::optional<platform::PlistValue> &object) const
    {
        return AnySerializable(object);
    }
};

template<>
struct SerializableTraits<AnySerializable> : BridgedSerializable<AnyBridge>
{
};

} // namespace faciward::prefs

template<>
struct std::hash<faciward::prefs::AnySerializable>
{
    std::size_t operator()(const faciward::prefs::AnySerializable &value) const { return value.hash(); }
};
