#pragma once

#include "GlobalMouseSourceChooser.h"

#include <memory>
#include <optional>

namespace faciward::helpers {

/// @brief A platform-wide mouse monitor that can be started and stopped: it
/// hands the presses of the buttons in its mask, made outside the application,
/// to its handler while it runs.
class EventMonitor
{
public:
    using Handler = GlobalMouseSource::Handler;

    EventMonitor(Qt::MouseButtons mask, Handler handler,
                 std::shared_ptr<GlobalMouseSource> source = systemMouseSource());
    /// @brief Stops first.
    ~EventMonitor();
    EventMonitor(const EventMonitor &) = delete;
    EventMonitor &operator=(const EventMonitor &) = delete;

    /// @brief Registers the monitor; does nothing while it runs already, so a
    /// second start never leaves a registration behind.
    void start();
    /// @brief Removes the registration; does nothing when stopped.
    void stop();
    bool isRunning() const { return m_monitor.has_value(); }

private:
    Qt::MouseButtons m_mask;
    Handler m_handler;
    std::shared_ptr<GlobalMouseSource> m_source;
    std::optional<GlobalMouseSource::Token> m_monitor;
};

} // namespace faciward::helpers
