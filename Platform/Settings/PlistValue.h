#pragma once

#include "Platform/Settings/PlistDate.h"

#include <concepts>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace faciward::platform {

class PlistValue;

/// @brief Raw bytes: a type of its own, so that only bytes declared as data are
/// stored as data, and a list of small numbers (std::vector<std::uint8_t>) as
/// the array of numbers it is. Otherwise it is the vector of its bytes.
struct PlistData : std::vector<std::uint8_t>
{
    using std::vector<std::uint8_t>::vector;
    PlistData() = default;
    explicit PlistData(std::vector<std::uint8_t> bytes)
        : std::vector<std::uint8_t>(std::move(bytes))
    {
    }
};
using PlistArray = std::vector<PlistValue>;
/// @brief The types whose values are characters of text rather than numbers.
/// Signed and unsigned char are not among them: they are small integers.
template<class C>
concept CharacterType = std::same_as<C, char> || std::same_as<C, wchar_t> || std::same_as<C, char8_t> ||
    std::same_as<C, char16_t> || std::same_as<C, char32_t>;

/// @brief Text keys in their sorted order.
using PlistDictionary = std::map<std::string, PlistValue, std::less<>>;

/// @brief One property-list object: what the settings store keeps.
///
/// Signed and unsigned integers are kept apart: a value stored as uint64 reads
/// back as uint64, whatever its size. Absence is expressed with std::optional,
/// never with a value of this type.
class PlistValue
{
public:
    enum class Type { boolean, int64, uint64, real, string, data, date, array, dictionary };
    using Storage = std::variant<bool, std::int64_t, std::uint64_t, double, std::string, PlistData, PlistDate,
                                 PlistArray, PlistDictionary>;

    PlistValue(bool value)
        : m_storage(value)
    {
    }
    /// @brief Signed integers become int64, unsigned ones uint64.
    template<std::integral I>
        requires(!std::same_as<I, bool> && !CharacterType<I>)
    PlistValue(I value)
    {
        if constexpr (std::is_signed_v<I>)
            m_storage = static_cast<std::int64_t>(value);
        else
            m_storage = static_cast<std::uint64_t>(value);
    }
    PlistValue(double value)
        : m_storage(value)
    {
    }
    PlistValue(float value)
        : m_storage(static_cast<double>(value))
    {
    }
    PlistValue(std::string value)
        : m_storage(std::move(value))
    {
    }
    PlistValue(std::string_view value)
        : m_storage(std::string(value))
    {
    }
    PlistValue(const char *value)
        : m_storage(std::string(value))
    {
    }
    /// @brief A character is neither a number nor, without its encoding, text:
    /// 'a' would be stored as 97. Refused; give text.
    template<CharacterType C>
    PlistValue(C) = delete;
    /// @brief Any other pointer is refused, rather than taken for the Boolean
    /// true: u8"…", u"…", U"…" and L"…" literals among them.
    template<class T>
    PlistValue(const T *) = delete;
    PlistValue(PlistData value)
        : m_storage(std::move(value))
    {
    }
    PlistValue(PlistDate value)
        : m_storage(value)
    {
    }
    PlistValue(PlistArray value)
        : m_storage(std::move(value))
    {
    }
    PlistValue(PlistDictionary value)
        : m_storage(std::move(value))
    {
    }

    Type type() const { return static_cast<Type>(m_storage.index()); }
    /// @brief "boolean", "int64", …: for messages.
    static const char *typeName(Type type);

    template<class T>
    bool is() const
    {
        return std::holds_alternative<T>(m_storage);
    }
    template<class T>
    const T *getIf() const
    {
        return std::get_if<T>(&m_storage);
    }
    template<class T>
    T *getIf()
    {
        return std::get_if<T>(&m_storage);
    }
    const Storage &storage() const { return m_storage; }

    /// @brief Structural equality; doubles compare as numbers, so NaN equals nothing.
    bool operator==(const PlistValue &other) const;

    /// @brief Structural equality where doubles compare by their bits: NaN equals
    /// the same NaN, and 0.0 differs from -0.0.
    bool isIdentical(const PlistValue &other) const;

private:
    Storage m_storage;
};

} // namespace faciward::platform
