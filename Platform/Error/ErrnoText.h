#pragma once

#include <string>
#include <system_error>

namespace faciward::platform {

/// @brief The system's words for the error number @p errorNumber ("No space
/// left on device"), as every line of the project gives them. Safe from any
/// thread, unlike std::strerror.
inline std::string errnoText(int errorNumber)
{
    return std::generic_category().message(errorNumber);
}

} // namespace faciward::platform
