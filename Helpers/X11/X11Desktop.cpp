#include "X11Desktop.h"

#include <QGuiApplication>
#include <QWidget>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdlib>
#include <string>

namespace faciward::helpers {

namespace {

// The X display Qt is connected to, or null when Qt runs on another platform.
Display *qtDisplay()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

} // namespace

void preferX11Platform()
{
    const char *chosen = std::getenv("QT_QPA_PLATFORM");
    const char *display = std::getenv("DISPLAY");
    if ((chosen && *chosen) || !display || !*display)
        return;
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
}

bool x11CompositorRunning()
{
    Display *display = qtDisplay();
    if (!display)
        return false;
    // A compositing manager owns this selection for the screen it composites.
    const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
    const Atom selection = XInternAtom(display, name.c_str(), False);
    return XGetSelectionOwner(display, selection) != None;
}

void stickToEveryDesktop(QWidget &window)
{
    Display *display = qtDisplay();
    if (!display)
        return;
    const auto id = static_cast<Window>(window.winId());
    const long allDesktops = 0xFFFFFFFF;
    XChangeProperty(display, id, XInternAtom(display, "_NET_WM_DESKTOP", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(&allDesktops), 1);
    const Atom states[] = {XInternAtom(display, "_NET_WM_STATE_STICKY", False),
                           XInternAtom(display, "_NET_WM_STATE_ABOVE", False)};
    XChangeProperty(display, id, XInternAtom(display, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(states), 2);
    XFlush(display);
}

} // namespace faciward::helpers
