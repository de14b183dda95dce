#pragma once

#include <QFlags>
#include <Qt>

#include <cstdint>
#include <optional>
#include <set>
#include <vector>

namespace faciward::helpers {

/// @brief The standard title-bar buttons of a window.
enum class WindowButton { Close, Miniaturize, Zoom };

enum class TitleVisibility { Visible, Hidden };

/// @brief The line under the title bar; the window manager draws its own, so
/// the value is kept only.
enum class TitlebarSeparatorStyle { Automatic, None, Line, Shadow };

/// @brief The window style bits, with the values the flows are written in.
enum class WindowStyle : std::uint32_t {
    Titled = 0x1,
    Closable = 0x2,
    Miniaturizable = 0x4,
    Resizable = 0x8,
    FullSizeContentView = 0x8000, ///< the content reaches under the title bar
};
Q_DECLARE_FLAGS(WindowStyleMask, WindowStyle)
Q_DECLARE_OPERATORS_FOR_FLAGS(WindowStyleMask)

/// @brief How a hosting window looks: which buttons it hides, whether its
/// title shows, whether its title bar is transparent over the content, and
/// optionally its whole style mask.
struct WindowConfiguration {
    /// @brief Titled, closable, miniaturizable, resizable, full-size content (0x800F).
    static constexpr WindowStyleMask hideTitleBar = WindowStyle::Titled | WindowStyle::Closable |
                                                   WindowStyle::Miniaturizable | WindowStyle::Resizable |
                                                   WindowStyle::FullSizeContentView;

    std::vector<WindowButton> hiddingButtons;
    TitleVisibility titleVisibility = TitleVisibility::Hidden;
    bool titlebarAppearsTransparent = true;
    TitlebarSeparatorStyle titlebarSeparatorStyle = TitlebarSeparatorStyle::None;
    /// @brief Nullopt leaves the window's style as it was made.
    std::optional<WindowStyleMask> styleMask;
};

/// @brief The one mapping of a style mask onto Qt window flags. A window with
/// an own title bar (a transparent one) is frameless and draws its title strip
/// itself; otherwise the window manager's title bar carries the mask's buttons
/// but the @p hidden ones. Resizing is not a flag: see isResizable().
Qt::WindowFlags toQtWindowFlags(WindowStyleMask mask, const std::set<WindowButton> &hidden, bool ownTitleBar);

/// @brief The window-manager hint that shows @p button.
Qt::WindowType buttonHint(WindowButton button);

/// @brief The style that a window made with @p flags has, as far as flags tell:
/// a title unless frameless, and the buttons the window manager gives it.
/// Resizing is not a flag, so it is never in the result.
WindowStyleMask styleMaskOf(Qt::WindowFlags flags);

/// @brief The buttons a title bar of @p mask offers, less the @p hidden ones.
std::set<WindowButton> shownButtons(WindowStyleMask mask, const std::set<WindowButton> &hidden);

inline bool isResizable(WindowStyleMask mask)
{
    return mask.testFlag(WindowStyle::Resizable);
}

} // namespace faciward::helpers
