#pragma once

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace faciward::testing {

/// @brief A program started by a test and stopped, by its process id, when
/// the object goes.
///
/// The child's standard input, output and error go to /dev/null (so its chatter
/// never reaches the test's standard-error watch); file descriptor 3 is a pipe
/// the child can report through (`Xvfb -displayfd 3`, `dbus-daemon --print-address=3`).
class ChildProcess
{
public:
    /// @brief Starts @p argv (the program is looked up on PATH), with @p environment
    /// ("NAME=value") added to the test's own. Throws std::runtime_error when it cannot.
    explicit ChildProcess(const std::vector<std::string> &argv, const std::vector<std::string> &environment = {});
    /// @brief Sends SIGTERM and reaps the child (SIGKILL if it has not gone after 5 s).
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    pid_t pid() const { return m_pid; }

    /// @brief One line the child wrote to descriptor 3, without its newline;
    /// nullopt at end of file or after @p timeout.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout);

    /// @brief Waits for the child to end: its exit status, or nullopt after @p timeout.
    std::optional<int> wait(std::chrono::milliseconds timeout);

    /// @brief Runs @p argv to its end: its exit status, or -1 when it could not be
    /// started or did not end within @p timeout (it is then killed).
    static int run(const std::vector<std::string> &argv, const std::vector<std::string> &environment = {},
                   std::chrono::milliseconds timeout = std::chrono::seconds(30));

    /// @brief Whether @p program is found on PATH.
    static bool available(const std::string &program);

private:
    pid_t m_pid = -1;
    int m_reportFd = -1;
    int m_pidFd = -1;
    std::optional<int> m_status;
    std::string m_buffer;
};

/// @brief True when FACIWARD_REQUIRE_SERVICES=1: a test that lacks a program or
/// a service then fails instead of being skipped.
bool servicesRequired();

} // namespace faciward::testing

/// @brief Skips the current test when @p program is not installed, or fails it
/// when FACIWARD_REQUIRE_SERVICES=1. Use in a test body or in SetUp.
#define FACIWARD_REQUIRE_PROGRAM(program)                                                                              \
    do {                                                                                                               \
        if (!::faciward::testing::ChildProcess::available(program)) {                                                  \
            if (::faciward::testing::servicesRequired())                                                               \
                FAIL() << (program) << " is needed (FACIWARD_REQUIRE_SERVICES=1) but not installed";                  \
            else                                                                                                       \
                GTEST_SKIP() << (program) << " is not installed";                                                      \
        }                                                                                                              \
    } while (0)

/// @brief Skips the current test when no X display is named (DISPLAY unset), or
/// fails it when FACIWARD_REQUIRE_SERVICES=1: scripts/test runs the window tests
/// on an Xvfb of its own, a hand-run ctest may have none.
#define FACIWARD_REQUIRE_DISPLAY()                                                                                     \
    do {                                                                                                               \
        const char *display_ = std::getenv("DISPLAY");                                                                 \
        if (!display_ || !*display_) {                                                                                 \
            if (::faciward::testing::servicesRequired())                                                               \
                FAIL() << "an X display is needed (FACIWARD_REQUIRE_SERVICES=1) but DISPLAY is not set";              \
            else                                                                                                       \
                GTEST_SKIP() << "no X display (DISPLAY is not set)";                                                   \
        }                                                                                                              \
    } while (0)
