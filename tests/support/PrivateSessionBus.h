#pragma once

#include "ChildProcess.h"

#include <memory>
#include <string>

namespace faciward::testing {

/// @brief A session bus of the test's own: a `dbus-daemon --session` started
/// for the fixture and stopped by its process id when the object goes.
class PrivateSessionBus
{
public:
    /// @brief Starts the daemon and waits for its address. Throws std::runtime_error when it cannot.
    PrivateSessionBus();

    const std::string &address() const { return m_address; }

    /// @brief Emits a signal on this bus with `dbus-send`; its exit status.
    /// @p member is "interface.Member"; @p arguments are dbus-send's ("boolean:true").
    int sendSignal(const std::string &path, const std::string &member, const std::vector<std::string> &arguments) const;

private:
    std::unique_ptr<ChildProcess> m_daemon;
    std::string m_address;
};

} // namespace faciward::testing
