#include "WindowConfiguration.h"

namespace faciward::helpers {

std::set<WindowButton> shownButtons(WindowStyleMask mask, const std::set<WindowButton> &hidden)
{
    std::set<WindowButton> buttons;
    if (!mask.testFlag(WindowStyle::Titled))
        return buttons;
    const std::pair<WindowStyle, WindowButton> offered[] = {
        {WindowStyle::Closable, WindowButton::Close},
        {WindowStyle::Miniaturizable, WindowButton::Miniaturize},
        {WindowStyle::Resizable, WindowButton::Zoom},
    };
    for (const auto &[style, button] : offered)
        if (mask.testFlag(style) && !hidden.count(button))
            buttons.insert(button);
    return buttons;
}

Qt::WindowFlags toQtWindowFlags(WindowStyleMask mask, const std::set<WindowButton> &hidden, bool ownTitleBar)
{
    // CustomizeWindowHint: the window manager shows only the hints given here.
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint;
    if (ownTitleBar || !mask.testFlag(WindowStyle::Titled))
        return flags | Qt::FramelessWindowHint;
    flags |= Qt::WindowTitleHint;
    const std::set<WindowButton> buttons = shownButtons(mask, hidden);
    flags.setFlag(Qt::WindowCloseButtonHint, buttons.count(WindowButton::Close) > 0);
    flags.setFlag(Qt::WindowMinimizeButtonHint, buttons.count(WindowButton::Miniaturize) > 0);
    flags.setFlag(Qt::WindowMaximizeButtonHint, buttons.count(WindowButton::Zoom) > 0);
    return flags;
}

} // namespace faciward::helpers
