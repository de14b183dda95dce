#pragma once

class QWidget;

namespace faciward::helpers {

/// @brief How a fade-in puts its window on screen.
enum class PresentationFunction {
    MakeKey,              ///< activates the window
    MakeKeyAndOrderFront, ///< shows, raises and activates it
    OrderFront,           ///< shows and raises it
    OrderFrontRegardless, ///< the same: an X11 client may always raise its own windows
};

/// @brief How a fade-out takes its window off screen.
enum class CloseFunction {
    OrderOut,     ///< hides it
    Close,        ///< closes it without asking (see isClosingUnconditionally())
    PerformClose, ///< closes it as the user would, through its closeEvent()
};

/// @brief Puts @p window on screen as @p function says.
void presentWindow(QWidget &window, PresentationFunction function);
/// @brief Takes @p window off screen as @p function says, at once. Closing a
/// window never quits the application: a menu-bar program lives on with no
/// window. (WindowController::closeWindow() is the other close: a fade-out,
/// later.)
void closeWindowNow(QWidget &window, CloseFunction function);

/// @brief True inside the closeEvent() of a close by CloseFunction::Close: the
/// window must close without asking whether it should.
bool isClosingUnconditionally(const QWidget &window);

} // namespace faciward::helpers
