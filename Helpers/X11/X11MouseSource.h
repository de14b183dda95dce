#pragma once

#include "Helpers/Core/GlobalMouseSource.h"

#include <memory>

namespace faciward::helpers {

/// @brief Outside clicks on X11: XInput2 raw button presses selected on the
/// root window, which the server sends whatever window is under the pointer.
///
/// It keeps an X connection of its own, read on the main thread through a
/// socket notifier. A press lands in the application itself when one of its
/// top-level windows is under the pointer (the X server's stacking and shapes
/// decide, the tray icon embedded in the panel counts as ours); those presses
/// are dropped, as a platform-wide monitor never sees the application's own
/// events.
class X11MouseSource : public GlobalMouseSource
{
public:
    /// @brief Connects to the display of $DISPLAY; null when there is none or it
    /// lacks XInput 2.
    static std::shared_ptr<X11MouseSource> open();
    ~X11MouseSource() override;

    std::string name() const override;

protected:
    void watch(bool on) override;

private:
    class Private;
    explicit X11MouseSource(std::unique_ptr<Private> d);
    void readEvents();

    std::unique_ptr<Private> const d;
};

} // namespace faciward::helpers
