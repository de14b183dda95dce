#pragma once

#include "ChildProcess.h"

#include <memory>
#include <string>

namespace faciward::testing {

/// @brief An X server of the test's own: an Xvfb on a free display number,
/// stopped by its process id when the object goes.
class PrivateXServer
{
public:
    /// @brief Starts Xvfb and waits until it accepts clients. Throws std::runtime_error when it cannot.
    PrivateXServer();

    /// @brief The display name, such as ":3".
    const std::string &display() const { return m_display; }

    /// @brief Runs `xdotool` with @p arguments against this display; its exit status.
    int xdotool(const std::vector<std::string> &arguments) const;

    /// @brief Starts @p argv as a client of this display (a window manager, a
    /// compositor); it is stopped when the returned object goes.
    std::unique_ptr<ChildProcess> startClient(const std::vector<std::string> &argv) const;

private:
    std::unique_ptr<ChildProcess> m_server;
    std::string m_display;
};

} // namespace faciward::testing
