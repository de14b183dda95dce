#include "Json.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace faciward::platform {

namespace {

// Length of the UTF-8 sequence starting at text[i], or 0 when it is not valid
// (overlong forms, surrogates and code points above U+10FFFF are refused).
std::size_t utf8SequenceLength(std::string_view text, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    const auto continuation = [&](std::size_t k) { return k < text.size() && (byte(k) & 0xC0) == 0x80; };
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return continuation(i + 1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (!continuation(i + 1) || !continuation(i + 2))
            return 0;
        const unsigned char second = byte(i + 1);
        if (lead == 0xE0 && second < 0xA0)
            return 0; // overlong
        if (lead == 0xED && second >= 0xA0)
            return 0; // surrogate
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (!continuation(i + 1) || !continuation(i + 2) || !continuation(i + 3))
            return 0;
        const unsigned char second = byte(i + 1);
        if (lead == 0xF0 && second < 0x90)
            return 0; // overlong
        if (lead == 0xF4 && second >= 0x90)
            return 0; // above U+10FFFF
        return 4;
    }
    return 0;
}

std::string numberText(const Json::Value &value)
{
    return value.dump();
}

JsonException mismatch(const char *expected, const Json::Value &found)
{
    std::string what = found.is_number() ? "the number " + numberText(found) : std::string("a ") + found.type_name();
    return JsonException(JsonError::typeMismatch,
                         std::string("Expected to decode ") + expected + " but found " + what + " instead.");
}

void checkPresent(const char *expected, const Json::Value &value)
{
    if (value.is_null())
        throw JsonException(JsonError::valueNotFound,
                            std::string("Expected ") + expected + " value but found null instead.");
}

void write(std::string &out, const Json::Value &value, int depth)
{
    using Type = Json::Value::value_t;
    switch (value.type()) {
    case Type::null:
        out += "null";
        return;
    case Type::boolean:
        out += value.get<bool>() ? "true" : "false";
        return;
    case Type::number_integer:
        Json::appendInteger(out, value.get<std::int64_t>());
        return;
    case Type::number_unsigned:
        Json::appendInteger(out, value.get<std::uint64_t>());
        return;
    case Type::number_float:
        Json::appendDouble(out, value.get<double>(), Json::DoubleForm::shortest);
        return;
    case Type::string:
        Json::appendString(out, value.get_ref<const std::string &>());
        return;
    case Type::array:
    case Type::object:
        break;
    case Type::binary:
    case Type::discarded:
        throw JsonException(JsonError::invalidValue, std::string("A ") + value.type_name() +
                                                         " value cannot be written as JSON.");
    }
    if (depth >= Json::maxDepth)
        throw JsonException(JsonError::invalidValue, "The value is nested too deeply to be written as JSON.");
    const auto writeElement = [depth](std::string &text, const Json::Value &element) {
        write(text, element, depth + 1);
    };
    if (value.is_array())
        Json::appendArray(out, value, writeElement);
    else
        Json::appendObject(out, value.items(), writeElement);
}

constexpr std::string_view base64Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

} // namespace

std::string Json::encode(const Value &value)
{
    std::string out;
    write(out, value, 0);
    return out;
}

Json::Value Json::decode(std::string_view text)
{
    try {
        return Value::parse(text.begin(), text.end());
    } catch (const nlohmann::json::exception &e) {
        throw JsonException(JsonError::dataCorrupted, std::string("The given data was not valid JSON. ") + e.what());
    }
}

bool Json::boolean(const Value &value)
{
    checkPresent("Bool", value);
    if (!value.is_boolean())
        throw mismatch("Bool", value);
    return value.get<bool>();
}

std::int64_t Json::int64(const Value &value)
{
    checkPresent("Int64", value);
    if (value.is_number_integer() && !value.is_number_unsigned())
        return value.get<std::int64_t>();
    if (value.is_number_unsigned()) {
        const auto u = value.get<std::uint64_t>();
        if (u <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return static_cast<std::int64_t>(u);
        throw JsonException(JsonError::dataCorrupted,
                            "Parsed JSON number <" + numberText(value) + "> does not fit in Int64.");
    }
    if (value.is_number_float()) {
        const double d = value.get<double>();
        if (std::isfinite(d) && std::trunc(d) == d && d >= -0x1p63 && d < 0x1p63)
            return static_cast<std::int64_t>(d);
        throw JsonException(JsonError::dataCorrupted,
                            "Parsed JSON number <" + numberText(value) + "> does not fit in Int64.");
    }
    throw mismatch("Int64", value);
}

std::uint64_t Json::uint64(const Value &value)
{
    checkPresent("UInt64", value);
    if (value.is_number_unsigned())
        return value.get<std::uint64_t>();
    if (value.is_number_integer()) {
        const auto i = value.get<std::int64_t>();
        if (i >= 0)
            return static_cast<std::uint64_t>(i);
        throw JsonException(JsonError::dataCorrupted,
                            "Parsed JSON number <" + numberText(value) + "> does not fit in UInt64.");
    }
    if (value.is_number_float()) {
        const double d = value.get<double>();
        if (std::isfinite(d) && std::trunc(d) == d && d >= 0 && d < 0x1p64)
            return static_cast<std::uint64_t>(d);
        throw JsonException(JsonError::dataCorrupted,
                            "Parsed JSON number <" + numberText(value) + "> does not fit in UInt64.");
    }
    throw mismatch("UInt64", value);
}

double Json::number(const Value &value)
{
    checkPresent("Double", value);
    if (!value.is_number())
        throw mismatch("Double", value);
    const double d = value.get<double>();
    if (!std::isfinite(d))
        throw JsonException(JsonError::dataCorrupted, "Parsed JSON number does not fit in Double.");
    return d;
}

const std::string &Json::string(const Value &value)
{
    checkPresent("String", value);
    if (!value.is_string())
        throw mismatch("String", value);
    return value.get_ref<const std::string &>();
}

const Json::Value &Json::object(const Value &value)
{
    checkPresent("an object", value);
    if (!value.is_object())
        throw mismatch("an object", value);
    return value;
}

const Json::Value &Json::array(const Value &value)
{
    checkPresent("an array", value);
    if (!value.is_array())
        throw mismatch("an array", value);
    return value;
}

const Json::Value &Json::member(const Value &value, std::string_view key)
{
    const auto &container = object(value);
    const auto found = container.find(key);
    if (found == container.end())
        throw JsonException(JsonError::keyNotFound, "No value associated with key \"" + std::string(key) + "\".");
    return *found;
}

const Json::Value *Json::optionalMember(const Value &value, std::string_view key)
{
    const auto &container = object(value);
    const auto found = container.find(key);
    if (found == container.end() || found->is_null())
        return nullptr;
    return &*found;
}

bool Json::isUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8SequenceLength(text, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

void Json::appendString(std::string &out, std::string_view text)
{
    static constexpr char hex[] = "0123456789abcdef";
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const std::size_t length = utf8SequenceLength(text, i);
            if (length == 0)
                throw JsonException(JsonError::invalidValue, "The text is not valid UTF-8.");
            out.append(text.substr(i, length));
            i += length;
            continue;
        }
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '/': out += "\\/"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 0xF];
            } else {
                out += static_cast<char>(c);
            }
        }
        ++i;
    }
    out += '"';
}

void Json::appendDouble(std::string &out, double value, DoubleForm form)
{
    if (!std::isfinite(value)) {
        const char *name = std::isnan(value) ? "nan" : (value > 0 ? "inf" : "-inf");
        throw JsonException(JsonError::invalidValue, std::string("Unable to encode the number ") + name +
                                                         " directly in JSON.");
    }
    // The shortest digits that read back as the same double; never a ".0".
    std::array<char, 48> buffer{};
    char *const first = buffer.data();
    char *const last = buffer.data() + buffer.size();
    std::string_view text;
    if (form == DoubleForm::markedAsDouble) {
        text = std::string_view(first, static_cast<std::size_t>(std::to_chars(first, last, value).ptr - first));
    } else {
        // Decimal notation between 1e-4 and 2^53, where every integer is exact;
        // exponent notation outside, as the platform's encoder writes numbers.
        // (A double's shortest digits reach 1e-4 exactly when the double
        // itself does: the double nearest 1e-4 lies above it.)
        const double magnitude = std::fabs(value);
        const bool decimal = magnitude == 0 || (magnitude >= 1e-4 && magnitude <= 0x1p53);
        const auto format = decimal ? std::chars_format::fixed : std::chars_format::scientific;
        text = std::string_view(first, static_cast<std::size_t>(std::to_chars(first, last, value, format).ptr - first));
    }
    out += text;
    if (form == DoubleForm::markedAsDouble && text.find_first_of(".e") == std::string_view::npos)
        out += ".0";
}

double Json::withFloatDigits(float value)
{
    if (!std::isfinite(value))
        return static_cast<double>(value);
    std::array<char, 32> buffer{};
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    double result = 0;
    std::from_chars(buffer.data(), written.ptr, result);
    return result;
}

void Json::appendInteger(std::string &out, std::int64_t value)
{
    std::array<char, 24> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    out.append(buffer.data(), result.ptr);
}

void Json::appendInteger(std::string &out, std::uint64_t value)
{
    std::array<char, 24> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    out.append(buffer.data(), result.ptr);
}

std::string Json::base64Encode(const PlistData &data)
{
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= data.size(); i += 3) {
        const std::uint32_t n = (data[i] << 16) | (data[i + 1] << 8) | data[i + 2];
        out += base64Alphabet[(n >> 18) & 63];
        out += base64Alphabet[(n >> 12) & 63];
        out += base64Alphabet[(n >> 6) & 63];
        out += base64Alphabet[n & 63];
    }
    const std::size_t rest = data.size() - i;
    if (rest == 1) {
        const std::uint32_t n = data[i] << 16;
        out += base64Alphabet[(n >> 18) & 63];
        out += base64Alphabet[(n >> 12) & 63];
        out += "==";
    } else if (rest == 2) {
        const std::uint32_t n = (data[i] << 16) | (data[i + 1] << 8);
        out += base64Alphabet[(n >> 18) & 63];
        out += base64Alphabet[(n >> 12) & 63];
        out += base64Alphabet[(n >> 6) & 63];
        out += '=';
    }
    return out;
}

std::optional<PlistData> Json::base64Decode(std::string_view text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    PlistData out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        std::uint32_t n = 0;
        int padding = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const char c = text[i + k];
            if (c == '=' && last && k >= 2) {
                ++padding;
                n <<= 6;
                continue;
            }
            const auto position = base64Alphabet.find(c);
            if (position == std::string_view::npos || padding > 0)
                return std::nullopt;
            n = (n << 6) | static_cast<std::uint32_t>(position);
        }
        out.push_back(static_cast<std::uint8_t>(n >> 16));
        if (padding < 2)
            out.push_back(static_cast<std::uint8_t>(n >> 8));
        if (padding < 1)
            out.push_back(static_cast<std::uint8_t>(n));
        // Canonical form only: the bits under the padding must be zero.
        if ((padding == 1 && (n & 0xFF) != 0) || (padding == 2 && (n & 0xFFFF) != 0))
            return std::nullopt;
    }
    return out;
}

} // namespace faciward::platform
