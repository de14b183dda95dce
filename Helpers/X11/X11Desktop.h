#pragma once

class QWidget;

namespace faciward::helpers {

/// @brief Before the QApplication is made: asks Qt for its X11 platform when
/// nothing else was chosen (QT_QPA_PLATFORM unset) and an X display is there,
/// which under Wayland means XWayland. A Wayland client can neither place its
/// own windows (a popover under the tray icon, a centred window) nor see
/// clicks outside itself.
void preferX11Platform();

/// @brief Whether a compositing manager runs on the application's X display,
/// so that translucent windows are drawn as such. False on other platforms,
/// where windows then get a mask for their shape.
bool x11CompositorRunning();

/// @brief Asks the X11 window manager to show @p window on every desktop and
/// above other windows; it reads these hints when the window is mapped, so
/// call it before showing. Does nothing on other platforms.
void stickToEveryDesktop(QWidget &window);

} // namespace faciward::helpers
