#include "PlistJson.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>

namespace faciward::platform {

namespace {

bool looksLikeTag(const PlistDictionary &dictionary)
{
    return dictionary.size() == 1 && !dictionary.begin()->first.empty() && dictionary.begin()->first.front() == '$';
}

void writeDouble(std::string &out, double value)
{
    if (std::isfinite(value)) {
        Json::appendDouble(out, value, Json::DoubleForm::markedAsDouble);
        return;
    }
    out += "{\"$double\":\"";
    if (std::isinf(value)) {
        out += value > 0 ? "inf" : "-inf";
    } else {
        const auto bits = std::bit_cast<std::uint64_t>(value);
        if (bits == std::bit_cast<std::uint64_t>(std::numeric_limits<double>::quiet_NaN())) {
            out += "nan";
        } else if (bits == std::bit_cast<std::uint64_t>(-std::numeric_limits<double>::quiet_NaN())) {
            out += "-nan";
        } else {
            char hex[17];
            std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(bits));
            out += "nan:";
            out += hex;
        }
    }
    out += "\"}";
}

[[noreturn]] void corrupt(const std::string &what)
{
    throw JsonException(JsonError::dataCorrupted, what);
}

std::optional<double> nonFinite(const std::string &name)
{
    if (name == "nan")
        return std::numeric_limits<double>::quiet_NaN();
    if (name == "-nan")
        return -std::numeric_limits<double>::quiet_NaN();
    if (name == "inf")
        return std::numeric_limits<double>::infinity();
    if (name == "-inf")
        return -std::numeric_limits<double>::infinity();
    if (name.size() == 20 && name.starts_with("nan:")) {
        std::uint64_t bits = 0;
        for (char c : name.substr(4)) {
            int digit = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
            if (digit < 0)
                return std::nullopt;
            bits = (bits << 4) | static_cast<std::uint64_t>(digit);
        }
        const double value = std::bit_cast<double>(bits);
        if (std::isnan(value))
            return value;
    }
    return std::nullopt;
}

double readDouble(const Json::Value &json)
{
    if (json.is_number())
        return json.get<double>();
    if (json.is_object() && json.size() == 1 && json.contains("$double") && json["$double"].is_string()) {
        if (auto value = nonFinite(json["$double"].get<std::string>()))
            return *value;
    }
    corrupt("a number was expected");
}

} // namespace

void PlistJson::append(std::string &out, const PlistValue &value, int depth)
{
    if (depth >= Json::maxDepth)
        throw JsonException(JsonError::invalidValue, "The value is nested too deeply.");
    const auto writeElement = [depth](std::string &text, const PlistValue &element) {
        append(text, element, depth + 1);
    };
    std::visit(
        [&](const auto &v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, bool>) {
                out += v ? "true" : "false";
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                Json::appendInteger(out, v);
            } else if constexpr (std::is_same_v<T, std::uint64_t>) {
                out += "{\"$uint64\":";
                Json::appendInteger(out, v);
                out += '}';
            } else if constexpr (std::is_same_v<T, double>) {
                writeDouble(out, v);
            } else if constexpr (std::is_same_v<T, std::string>) {
                Json::appendString(out, v);
            } else if constexpr (std::is_same_v<T, PlistData>) {
                out += "{\"$data\":\"";
                out += Json::base64Encode(v);
                out += "\"}";
            } else if constexpr (std::is_same_v<T, PlistDate>) {
                out += "{\"$date\":";
                writeDouble(out, v.secondsSinceReferenceDate);
                out += '}';
            } else if constexpr (std::is_same_v<T, PlistArray>) {
                Json::appendArray(out, v, writeElement);
            } else if constexpr (std::is_same_v<T, PlistDictionary>) {
                const bool wrap = looksLikeTag(v);
                if (wrap)
                    out += "{\"$dict\":";
                Json::appendObject(out, v, writeElement);
                if (wrap)
                    out += '}';
            }
        },
        value.storage());
}

PlistValue PlistJson::read(const Json::Value &json, int depth)
{
    if (depth >= Json::maxDepth)
        corrupt("values are nested too deeply");
    using Type = Json::Value::value_t;
    switch (json.type()) {
    case Type::boolean:
        return PlistValue(json.get<bool>());
    case Type::number_integer:
        return PlistValue(json.get<std::int64_t>());
    case Type::number_unsigned: {
        const auto u = json.get<std::uint64_t>();
        if (u <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return PlistValue(static_cast<std::int64_t>(u));
        return PlistValue(u);
    }
    case Type::number_float:
        return PlistValue(json.get<double>());
    case Type::string:
        return PlistValue(json.get<std::string>());
    case Type::array: {
        PlistArray array;
        array.reserve(json.size());
        for (const auto &element : json)
            array.push_back(read(element, depth + 1));
        return PlistValue(std::move(array));
    }
    case Type::object: {
        if (json.size() == 1) {
            const auto first = json.begin();
            const std::string &tag = first.key();
            const Json::Value &payload = first.value();
            if (tag == "$uint64") {
                if (!payload.is_number_unsigned())
                    corrupt("$uint64 holds no unsigned integer");
                return PlistValue(payload.get<std::uint64_t>());
            }
            if (tag == "$double")
                return PlistValue(readDouble(json));
            if (tag == "$data") {
                auto data = payload.is_string() ? Json::base64Decode(payload.get_ref<const std::string &>())
                                                : std::nullopt;
                if (!data)
                    corrupt("$data holds no Base64 text");
                return PlistValue(std::move(*data));
            }
            if (tag == "$date")
                return PlistValue(PlistDate{readDouble(payload)});
            if (tag == "$dict") {
                if (!payload.is_object())
                    corrupt("$dict holds no object");
                PlistDictionary dictionary;
                for (const auto &[key, element] : payload.items())
                    dictionary.insert_or_assign(key, read(element, depth + 1));
                return PlistValue(std::move(dictionary));
            }
        }
        PlistDictionary dictionary;
        for (const auto &[key, element] : json.items())
            dictionary.insert_or_assign(key, read(element, depth + 1));
        return PlistValue(std::move(dictionary));
    }
    case Type::null:
        corrupt("null is not a setting value");
    case Type::binary:
    case Type::discarded:
        break;
    }
    corrupt("unexpected JSON value");
}

} // namespace faciward::platform
