#pragma once

#include <string>
#include <string_view>

namespace faciward::platform {

/// @brief The one way a line reaches standard error.
///
/// Every line is "faciward: " and the message, on one line: control
/// characters in the message (a line feed in a file name or in a library's
/// message) are escaped, so that no line can be split or forged. Each line is
/// written with a single write, so lines of several threads do not mix.
class Diagnostics
{
public:
    static void print(std::string_view message);

    /// @brief @p text with each control character written as \n, \r, \t or \xNN.
    static std::string printable(std::string_view text);
};

} // namespace faciward::platform
