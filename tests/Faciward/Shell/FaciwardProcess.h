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
    /// Whether the program was still running when stopWhen held.
    bool runningWhenStopped = false;
};

/// @brief Where the program's standard streams go.
enum class Streams {
    /// Output and error are read into FaciwardOutcome.
    piped,
    /// Output goes to /dev/full, where every write fails; error is read.
    outputToFullDevice,
    /// Output is a pipe whose reader has gone; error is read.
    outputToClosedPipe,
    /// Input, output and error are all closed: nothing is read.
    allClosed,
};

/// @brief Runs the `faciward` binary with @p arguments, in this process's
/// environment, and collects its standard output and error.
///
/// When @p stopWhen is given, it is asked with the output so far after each
/// read, and at least every 10 ms; once it holds, the program is sent SIGTERM.
/// A program still running after @p timeout is killed, and the code is then -1.
FaciwardOutcome runFaciward(const std::vector<std::string> &arguments,
                            std::chrono::milliseconds timeout = std::chrono::minutes(2),
                            const std::function<bool(const std::string &out)> &stopWhen = {},
                            Streams streams = Streams::piped);

/// @brief The lines of @p text; a last line without a line feed is marked "<no line feed>".
std::vector<std::string> lines(const std::string &text);

} // namespace faciward::testing
