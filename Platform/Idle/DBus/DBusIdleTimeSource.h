#pragma once

#include "Platform/Idle/IdleTimeSource.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace faciward::platform {

/// @brief Idle time from the session's D-Bus idle monitor:
/// `org.gnome.Mutter.IdleMonitor.GetIdletime` on /org/gnome/Mutter/IdleMonitor/Core,
/// which answers in milliseconds and sees Wayland input too.
///
/// Each question is a blocking call with a short timeout, so a monitor that
/// hangs costs at most that timeout and reads as unknown. Make it after the
/// `QCoreApplication`.
class DBusIdleTimeSource final : public IdleTimeSource
{
public:
    /// @param busAddress the bus to ask; nullopt for the session bus as Qt finds it.
    /// @param timeout the longest a question may take.
    explicit DBusIdleTimeSource(std::optional<std::string> busAddress = std::nullopt,
                                std::chrono::milliseconds timeout = std::chrono::milliseconds(500));
    ~DBusIdleTimeSource() override;
    DBusIdleTimeSource(const DBusIdleTimeSource &) = delete;
    DBusIdleTimeSource &operator=(const DBusIdleTimeSource &) = delete;

    /// @brief "the D-Bus idle monitor org.gnome.Mutter.IdleMonitor".
    std::string name() const override;
    /// @brief True when the bus is connected and the monitor answers.
    bool isAvailable() override;
    std::optional<Seconds> idleTime() override;

private:
    class Private;
    std::unique_ptr<Private> const d;
};

} // namespace faciward::platform
