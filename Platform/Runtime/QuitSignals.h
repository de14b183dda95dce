#pragma once

#include <memory>

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

    /// @brief Quits the application's event loop on the first signal. Call after
    /// making the application.
    void watch();

private:
    void release();

    int m_pipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace faciward::platform
