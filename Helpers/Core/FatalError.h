#pragma once

#include <source_location>
#include <string_view>

namespace faciward::helpers {

/// @brief Stops the program on a programmer error: prints
/// "Fatal error: <message>: <file>:<line>" to standard error and aborts, in
/// every build type (unlike `assert`, which release builds drop).
[[noreturn]] void fatalError(std::string_view message,
                             std::source_location where = std::source_location::current());

} // namespace faciward::helpers
