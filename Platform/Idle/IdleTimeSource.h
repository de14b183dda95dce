#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace faciward::platform {

/// @brief How long the user's input devices have been left alone.
///
/// One implementation per way of asking the system (X11, the session's D-Bus
/// idle monitor), plus a null source that never knows. Call from one thread,
/// the main one: the back-ends keep a connection that is not shared.
class IdleTimeSource
{
public:
    using Seconds = std::chrono::duration<double>;

    virtual ~IdleTimeSource() = default;

    /// @brief A short name for diagnostics, such as "X11 MIT-SCREEN-SAVER on :0".
    virtual std::string name() const = 0;

    /// @brief Whether this source answers on this machine now. Used once, to
    /// choose a source; it may cost a round trip to the system.
    virtual bool isAvailable() = 0;

    /// @brief Seconds since the last input event of any input device (keys,
    /// pointer, touch), or nullopt when this cannot be told at the moment.
    virtual std::optional<Seconds> idleTime() = 0;
};

} // namespace faciward::platform
