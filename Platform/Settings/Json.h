#pragma once

#include "Platform/Settings/JsonException.h"
#include "Platform/Settings/PlistValue.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace faciward::platform {

/// @brief The JSON coder of the settings store, over nlohmann-json.
///
/// Writes the form in which stored settings keep their JSON text: no
/// whitespace, members in the order they were added, "/" escaped as "\/",
/// doubles in their shortest round-trip digits, in decimal notation from 1e-4
/// to 2^53 and with integral ones written without a fraction (786000000,
/// 100000, 0.0001, 1 for 1.0), in exponent notation outside (1e+16, 1e-05),
/// and non-finite numbers refused. Numbers read in either notation. Reading is
/// strict: the typed readers below never turn 7.5 or true into an integer, nor
/// -1 into an unsigned count.
class Json
{
public:
    /// @brief A JSON tree that keeps members in insertion order.
    using Value = nlohmann::ordered_json;

    /// @brief How a double is written: `shortest` as the coder writes numbers
    /// (see the class); `markedAsDouble` the shorter of the decimal and the
    /// exponent text, marked so that it reads back as a double even when
    /// integral ("6.0", "7.86e+08"), as the settings file keeps doubles.
    enum class DoubleForm { shortest, markedAsDouble };

    /// @brief Deepest nesting of arrays and objects the coder writes.
    static constexpr int maxDepth = 512;

    Json() = delete;

    /// @brief Compact JSON text of @p value.
    /// @throws JsonException (invalidValue) for a non-finite number, text that is not
    /// UTF-8, a binary or discarded value, or nesting deeper than maxDepth.
    static std::string encode(const Value &value);

    /// @brief Parses @p text.
    /// @throws JsonException (dataCorrupted) when it is not JSON.
    static Value decode(std::string_view text);

    /// @name Strict readers; each throws JsonException (typeMismatch, valueNotFound or dataCorrupted).
    /// @{
    static bool boolean(const Value &value);
    /// @brief An integer; accepts a whole double (7.0) in range, refuses 7.5 and booleans.
    static std::int64_t int64(const Value &value);
    /// @brief A non-negative integer; refuses -1, fractions and booleans.
    static std::uint64_t uint64(const Value &value);
    /// @brief Any finite number.
    static double number(const Value &value);
    static const std::string &string(const Value &value);
    /// @brief @p value itself when it is an object.
    static const Value &object(const Value &value);
    /// @brief @p value itself when it is an array.
    static const Value &array(const Value &value);
    /// @brief The member @p key of the object @p value; keyNotFound when missing.
    static const Value &member(const Value &value, std::string_view key);
    /// @brief The member @p key, or nullptr when it is missing or null.
    static const Value *optionalMember(const Value &value, std::string_view key);
    /// @}

    /// @name Pieces for writers of other JSON forms (the settings file).
    /// @{
    /// @brief Appends @p text as a quoted, escaped JSON string.
    /// @throws JsonException (invalidValue) when @p text is not valid UTF-8.
    static void appendString(std::string &out, std::string_view text);
    /// @brief Whether @p text is well-formed UTF-8, as appendString() takes it:
    /// no overlong forms, no surrogates, nothing past U+10FFFF, no sequence
    /// cut short.
    static bool isUtf8(std::string_view text);
    /// @throws JsonException (invalidValue) when @p value is not finite.
    static void appendDouble(std::string &out, double value, DoubleForm form);
    /// @brief The double that is written with @p value's own shortest digits:
    /// 0.1f gives 0.1, where the widened 0.10000000149011612 would not.
    static double withFloatDigits(float value);
    static void appendInteger(std::string &out, std::int64_t value);
    static void appendInteger(std::string &out, std::uint64_t value);

    /// @brief Appends "[e0,e1,…]", writing each element with @p write(out, element).
    /// A JsonException of an element gets the element's index in its coding path.
    template<class Range, class Write>
    static void appendArray(std::string &out, const Range &elements, Write &&write)
    {
        out += '[';
        std::size_t index = 0;
        for (const auto &element : elements) {
            if (index > 0)
                out += ',';
            try {
                write(out, element);
            } catch (const JsonException &e) {
                throw e.nestedIn("[" + std::to_string(index) + "]");
            }
            ++index;
        }
        out += ']';
    }

    /// @brief Appends "{"k0":v0,…}" from (key, value) pairs, writing each value with
    /// @p write(out, value). A JsonException gets the member's key in its coding path.
    template<class Range, class Write>
    static void appendObject(std::string &out, const Range &members, Write &&write)
    {
        out += '{';
        bool first = true;
        for (const auto &[key, value] : members) {
            if (!first)
                out += ',';
            first = false;
            try {
                appendString(out, key);
                out += ':';
                write(out, value);
            } catch (const JsonException &e) {
                throw e.nestedIn(key);
            }
        }
        out += '}';
    }
    /// @}

    /// @brief Standard Base64 with padding.
    static std::string base64Encode(const PlistData &data);
    /// @brief Strict Base64 reading: nothing when @p text is not canonical Base64.
    static std::optional<PlistData> base64Decode(std::string_view text);
};

} // namespace faciward::platform
