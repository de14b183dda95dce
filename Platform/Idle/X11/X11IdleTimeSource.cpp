#include "X11IdleTimeSource.h"

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

namespace faciward::platform {

class X11IdleTimeSource::Private
{
public:
    ::Display *display = nullptr;
    XScreenSaverInfo *info = nullptr;
    bool extension = false;
    std::string displayName;
};

X11IdleTimeSource::X11IdleTimeSource(const std::string &displayName)
    : d(std::make_unique<Private>())
{
    d->display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (!d->display)
        return;
    d->displayName = DisplayString(d->display);
    int eventBase = 0;
    int errorBase = 0;
    d->extension = XScreenSaverQueryExtension(d->display, &eventBase, &errorBase);
    if (d->extension)
        d->info = XScreenSaverAllocInfo();
}

X11IdleTimeSource::~X11IdleTimeSource()
{
    if (d->info)
        XFree(d->info);
    if (d->display)
        XCloseDisplay(d->display);
}

std::string X11IdleTimeSource::name() const
{
    return "X11 MIT-SCREEN-SAVER on " + (d->displayName.empty() ? std::string("no display") : d->displayName);
}

bool X11IdleTimeSource::isAvailable()
{
    return d->display && d->extension && d->info;
}

std::optional<IdleTimeSource::Seconds> X11IdleTimeSource::idleTime()
{
    if (!isAvailable())
        return std::nullopt;
    if (!XScreenSaverQueryInfo(d->display, DefaultRootWindow(d->display), d->info))
        return std::nullopt;
    return std::chrono::duration_cast<Seconds>(std::chrono::milliseconds(d->info->idle));
}

} // namespace faciward::platform
