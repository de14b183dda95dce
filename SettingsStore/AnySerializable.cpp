#include "AnySerializable.h"

#include "Platform/Settings/Json.h"
#include "Platform/Settings/PlistCast.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <utility>

namespace faciward::prefs {

using platform::PlistArray;
using platform::PlistCast;
using platform::PlistData;
using platform::PlistDate;
using platform::PlistDictionary;
using platform::PlistValue;

namespace {

[[noreturn]] void literalFault(const std::string &what)
{
    std::fprintf(stderr, "faciward: %s\n", what.c_str());
    std::abort();
}

const PlistValue &stored(const AnySerializable &element, const char *literal)
{
    if (element.isNil())
        literalFault(std::string("a value holding nothing in ") + literal + " literal; a stored " + literal +
                     " cannot hold it");
    return *element.value();
}

bool isNumber(const PlistValue &v)
{
    return v.is<std::int64_t>() || v.is<std::uint64_t>() || v.is<double>();
}

// Numbers compare by their exact value, whatever their types: an integer equals
// a double only when the double is whole and the same number. This is what the
// walk through the integer and floating-point types gives when each conversion
// must be exact.
bool numbersEqual(const PlistValue &a, const PlistValue &b)
{
    if (const double *x = a.getIf<double>()) {
        if (const double *y = b.getIf<double>())
            return *x == *y;
        return numbersEqual(b, a);
    }
    if (const auto *i = a.getIf<std::int64_t>()) {
        if (const auto *j = b.getIf<std::int64_t>())
            return *i == *j;
        if (const auto *u = b.getIf<std::uint64_t>())
            return std::cmp_equal(*i, *u);
        const auto whole = PlistCast<std::int64_t>::cast(b);
        return whole && *whole == *i;
    }
    const auto u = *a.getIf<std::uint64_t>();
    if (const auto *i = b.getIf<std::int64_t>())
        return std::cmp_equal(*i, u);
    if (const auto *v = b.getIf<std::uint64_t>())
        return *v == u;
    const auto whole = PlistCast<std::uint64_t>::cast(b);
    return whole && *whole == u;
}

bool equal(const PlistValue &a, const PlistValue &b)
{
    if (isNumber(a) && isNumber(b))
        return numbersEqual(a, b);
    if (a.type() != b.type())
        return false;
    switch (a.type()) {
    case PlistValue::Type::date:
        return a.getIf<PlistDate>()->secondsSinceReferenceDate == b.getIf<PlistDate>()->secondsSinceReferenceDate;
    case PlistValue::Type::dictionary: {
        const auto &x = *a.getIf<PlistDictionary>();
        const auto &y = *b.getIf<PlistDictionary>();
        if (x.size() != y.size())
            return false;
        // Both are sorted by key, so the order they were written in plays no part.
        for (auto i = x.begin(), j = y.begin(); i != x.end(); ++i, ++j)
            if (i->first != j->first || !equal(i->second, j->second))
                return false;
        return true;
    }
    case PlistValue::Type::array: {
        const auto &x = *a.getIf<PlistArray>();
        const auto &y = *b.getIf<PlistArray>();
        if (x.size() != y.size())
            return false;
        for (std::size_t i = 0; i < x.size(); ++i)
            if (!equal(x[i], y[i]))
                return false;
        return true;
    }
    default:
        return a == b;
    }
}

// --- text of the other character types -------------------------------------------

bool isScalar(char32_t c)
{
    return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::optional<PlistValue> scalarsAsText(std::u32string_view scalars)
{
    std::string text;
    text.reserve(scalars.size());
    for (const char32_t c : scalars) {
        if (!isScalar(c))
            return std::nullopt;
        appendUtf8(text, c);
    }
    return PlistValue(std::move(text));
}

void mix(std::size_t &seed, std::size_t value)
{
    seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

// Equal numbers must hash alike: whole numbers hash as the integer they are,
// so 1, 1u and 1.0 agree, and -0.0 hashes as 0.
std::size_t numberHash(const PlistValue &v)
{
    if (const double *d = v.getIf<double>()) {
        if (auto i = PlistCast<std::int64_t>::cast(v))
            return std::hash<std::int64_t>{}(*i);
        if (auto u = PlistCast<std::uint64_t>::cast(v))
            return std::hash<std::uint64_t>{}(*u);
        return std::hash<std::uint64_t>{}(std::bit_cast<std::uint64_t>(*d));
    }
    if (const auto *i = v.getIf<std::int64_t>())
        return std::hash<std::int64_t>{}(*i);
    const auto u = *v.getIf<std::uint64_t>();
    if (std::in_range<std::int64_t>(u))
        return std::hash<std::int64_t>{}(static_cast<std::int64_t>(u));
    return std::hash<std::uint64_t>{}(u);
}

std::size_t hashOf(const PlistValue &v)
{
    std::size_t seed = 0;
    if (isNumber(v)) {
        mix(seed, 3);
        mix(seed, numberHash(v));
        return seed;
    }
    mix(seed, static_cast<std::size_t>(v.type()));
    switch (v.type()) {
    case PlistValue::Type::boolean: mix(seed, *v.getIf<bool>() ? 1 : 0); break;
    case PlistValue::Type::string: mix(seed, std::hash<std::string>{}(*v.getIf<std::string>())); break;
    case PlistValue::Type::data: {
        const auto &bytes = *v.getIf<PlistData>();
        mix(seed, std::hash<std::string_view>{}(
                      std::string_view(reinterpret_cast<const char *>(bytes.data()), bytes.size())));
        break;
    }
    case PlistValue::Type::date: {
        const double s = v.getIf<PlistDate>()->secondsSinceReferenceDate;
        mix(seed, std::hash<std::uint64_t>{}(std::bit_cast<std::uint64_t>(s == 0 ? 0.0 : s)));
        break;
    }
    case PlistValue::Type::dictionary:
        mix(seed, v.getIf<PlistDictionary>()->size());
        for (const auto &[key, element] : *v.getIf<PlistDictionary>()) {
            mix(seed, std::hash<std::string>{}(key));
            mix(seed, hashOf(element));
        }
        break;
    case PlistValue::Type::array:
        mix(seed, v.getIf<PlistArray>()->size());
        for (const auto &element : *v.getIf<PlistArray>())
            mix(seed, hashOf(element));
        break;
    default: break;
    }
    return seed;
}

} // namespace

std::optional<PlistValue> AnySerializable::utf8Text(std::u8string_view text)
{
    if (!platform::Json::isUtf8({reinterpret_cast<const char *>(text.data()), text.size()}))
        return std::nullopt;
    return PlistValue(std::string(text.begin(), text.end()));
}

std::optional<PlistValue> AnySerializable::utf8Text(std::u16string_view text)
{
    std::u32string scalars;
    scalars.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            scalars += static_cast<char32_t>(0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else {
            scalars += unit; // a lone surrogate is refused below
        }
    }
    return scalarsAsText(scalars);
}

std::optional<PlistValue> AnySerializable::utf8Text(std::u32string_view text)
{
    return scalarsAsText(text);
}

std::optional<PlistValue> AnySerializable::utf8Text(std::wstring_view text)
{
    if constexpr (sizeof(wchar_t) == sizeof(char32_t))
        return utf8Text(std::u32string(text.begin(), text.end()));
    else
        return utf8Text(std::u16string(text.begin(), text.end()));
}

AnySerializable::AnySerializable(const char8_t *text)
    : m_value(utf8Text(std::u8string_view(text)))
{
}

AnySerializable::AnySerializable(const char16_t *text)
    : m_value(utf8Text(std::u16string_view(text)))
{
}

AnySerializable::AnySerializable(const char32_t *text)
    : m_value(utf8Text(std::u32string_view(text)))
{
}

AnySerializable::AnySerializable(const wchar_t *text)
    : m_value(utf8Text(std::wstring_view(text)))
{
}

AnySerializable::Dictionary::Dictionary(
    std::initializer_list<std::pair<const std::string, AnySerializable>> literal)
{
    for (const auto &[key, element] : literal)
        if (!entries.emplace(key, stored(element, "a dictionary")).second)
            literalFault("the dictionary literal gives the key \"" + key + "\" twice");
}

AnySerializable::AnySerializable(std::initializer_list<AnySerializable> elements)
{
    PlistArray array;
    array.reserve(elements.size());
    for (const auto &element : elements)
        array.push_back(stored(element, "an array"));
    m_value = PlistValue(std::move(array));
}

bool AnySerializable::operator==(const AnySerializable &other) const
{
    return m_value && other.m_value && equal(*m_value, *other.m_value);
}

std::size_t AnySerializable::hash() const
{
    return m_value ? hashOf(*m_value) : 0;
}

} // namespace faciward::prefs
