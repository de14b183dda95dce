#pragma once

#include <string_view>

namespace faciward::platform {

/// @brief Why a value could not be turned into JSON text or read back from it.
enum class JsonError {
    invalidValue,  ///< encoding: a number that is not finite, text that is not UTF-8, nesting too deep
    typeMismatch,  ///< decoding: the JSON value has another type than the one asked for
    valueNotFound, ///< decoding: null where a value is required
    keyNotFound,   ///< decoding: a required member is missing
    dataCorrupted, ///< decoding: the text is not JSON, or a value is out of range
};

/// @brief "typeMismatch", "keyNotFound", …
std::string_view name(JsonError error);

} // namespace faciward::platform
