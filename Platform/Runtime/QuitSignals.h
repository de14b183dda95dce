#pragma once

#include <chrono>
#include <memory>
#include <optional>

class QSocketNotifier;

namespace faciward::platform {

/// @brief Turns SIGINT and SIGTERM into a quit of the Qt event loop rather than
/// an end of the process, whichever thread the system hands them to: the handler
/// only writes to a pipe, which the loop watches.
///
/// One at a time per process. While it lives the two signals are caught; after
/// it, they have their default effect again.
class QuitSignals
{
public:
    /// @throws std::system_error when the pipe or the handlers cannot be set up.
    QuitSignals();
    ~QuitSignals(); // not copyable: it owns the pipe and the notifier

    /// @brief Quits the application's event loop on the first signal; a second
    /// signal then ends the process at once. Call after making the application.
    /// When @p teardownLimit is given and the process has not ended that long
    /// after the first signal (a thread stuck in a device, say), it leaves with
    /// exit code 0, without waiting further: what the signal asked for.
    void watch(std::optional<std::chrono::milliseconds> teardownLimit = std::nullopt);

private:
    void release();
    void quit();

    int m_pipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::optional<std::chrono::milliseconds> m_teardownLimit;
    bool m_quitting = false;
};

} // namespace faciward::platform
