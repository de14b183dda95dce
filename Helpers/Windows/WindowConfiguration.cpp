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
    for (WindowButton button : buttons)
        flags |= buttonHint(button);
    return flags;
}

Qt::WindowType buttonHint(WindowButton button)
{
    switch (button) {
    case WindowButton::Close:
        return Qt::WindowCloseButtonHint;
    case WindowButton::Miniaturize:
        return Qt::WindowMinimizeButtonHint;
    case WindowButton::Zoom:
        return Qt::WindowMaximizeButtonHint;
    }
    return Qt::WindowCloseButtonHint;
}

WindowStyleMask styleMaskOf(Qt::WindowFlags flags)
{
    if (flags.testFlag(Qt::FramelessWindowHint))
        return {};
    // Without CustomizeWindowHint the window manager gives a window its usual
    // title bar, with every button.
    const bool customized = flags.testFlag(Qt::CustomizeWindowHint);
    auto offered = [&](Qt::WindowType hint) { return !customized || flags.testFlag(hint); };
    WindowStyleMask mask;
    mask.setFlag(WindowStyle::Titled, offered(Qt::WindowTitleHint));
    mask.setFlag(WindowStyle::Closable, offered(buttonHint(WindowButton::Close)));
    mask.setFlag(WindowStyle::Miniaturizable, offered(buttonHint(WindowButton::Miniaturize)));
    return mask;
}

} // namespace faciward::helpers
