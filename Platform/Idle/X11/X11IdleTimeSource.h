#pragma once

#include "Platform/Idle/IdleTimeSource.h"

#include <memory>
#include <string>

namespace faciward::platform {

/// @brief Idle time from the X server's MIT-SCREEN-SAVER extension.
///
/// One connection to the display is opened with the source and kept until it
/// is destroyed: opening a new client connection can itself count as activity.
class X11IdleTimeSource final : public IdleTimeSource
{
public:
    /// @brief Connects to @p displayName (":1"), or to $DISPLAY when it is empty.
    explicit X11IdleTimeSource(const std::string &displayName = {});
    ~X11IdleTimeSource() override;
    X11IdleTimeSource(const X11IdleTimeSource &) = delete;
    X11IdleTimeSource &operator=(const X11IdleTimeSource &) = delete;

    /// @brief "X11 MIT-SCREEN-SAVER on DISPLAY".
    std::string name() const override;
    /// @brief True when the display is open and offers the extension.
    bool isAvailable() override;
    /// @brief The server's idle time (millisecond resolution), or nullopt when unavailable.
    std::optional<Seconds> idleTime() override;

private:
    class Private;
    std::unique_ptr<Private> const d;
};

} // namespace faciward::platform
