#pragma once

#include "Platform/Settings/Json.h"
#include "Platform/Settings/PlistValue.h"

#include <string>

namespace faciward::platform {

/// @brief The tagged JSON form of property-list values, as the settings file keeps them.
///
/// A value keeps its exact PlistValue type: booleans, int64 integers, finite doubles
/// (always with a fraction or exponent, "6.0"), text, arrays and objects are plain
/// JSON; what JSON cannot carry is a one-member tagged object:
///     {"$uint64":N}        an unsigned integer
///     {"$double":"nan"}    "nan", "-nan", "inf", "-inf", or "nan:<16 hex digits>" for other NaN bits
///     {"$data":"<Base64>"} bytes
///     {"$date":<seconds since 2001, a double or a $double object>}
///     {"$dict":{…}}        a dictionary that would otherwise look like a tag
///                          (exactly one member whose name starts with "$")
class PlistJson
{
public:
    PlistJson() = delete;

    /// @brief Appends the tagged form of @p value, which sits @p depth levels deep.
    /// @throws JsonException (invalidValue) for text that is not UTF-8 or nesting
    /// deeper than Json::maxDepth.
    static void append(std::string &out, const PlistValue &value, int depth);

    /// @brief The value that @p json, sitting @p depth levels deep, is the tagged form of.
    /// @throws JsonException (dataCorrupted) when it is not such a form.
    static PlistValue read(const Json::Value &json, int depth);
};

} // namespace faciward::platform
