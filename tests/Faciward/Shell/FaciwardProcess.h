#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace faciward::testing {

/// @brief How a run of the real `faciward` program ended.
struct FaciwardOutcome
{
    /// The exit code; 128 + the signal when a signal ended it; -1 when it had to be killed.
    int code = -1;
    std::string out;
    std::string err;
    /// The peak resident memory of the program, in kB.
    long peakRssKb = 0;
    /// The processor time the program used, in user and system mode together.
    std::chrono::milliseconds cpuTime{0};
    /// From SIGTERM (sent when stopWhen held) to the program's end; zero when none was sent.
    std::chrono::milliseconds exitAfterStop{0};
};

/// @brief Runs the `faciward` binary with @p arguments, in this process's
/// environment, and collects its standard output and error.
///
/// When @p stopWhen is given, it is asked with the output so far after each
/// read; once it holds, the program is sent SIGTERM. A program still running
/// after @p timeout is killed, and the code is then -1.
FaciwardOutcome runFaciward(const std::vector<std::string> &arguments,
                            std::chrono::milliseconds timeout = std::chrono::minutes(2),
                            const std::function<bool(const std::string &out)> &stopWhen = {});

/// @brief The lines of @p text; a last line without a line feed is marked "<no line feed>".
std::vector<std::string> lines(const std::string &text);

} // namespace faciward::testing
