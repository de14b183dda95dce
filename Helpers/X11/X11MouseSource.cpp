#include "X11MouseSource.h"

#include <QCursor>
#include <QGuiApplication>
#include <QSocketNotifier>

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

namespace faciward::helpers {

class X11MouseSource::Private
{
public:
    ~Private()
    {
        notifier.reset();
        if (display)
            XCloseDisplay(display);
    }

    Display *display = nullptr;
    int opcode = 0;
    std::string displayName;
    std::unique_ptr<QSocketNotifier> notifier;
};

std::shared_ptr<X11MouseSource> X11MouseSource::open()
{
    auto d = std::make_unique<Private>();
    d->display = XOpenDisplay(nullptr);
    if (!d->display)
        return nullptr;
    d->displayName = DisplayString(d->display);
    int event = 0;
    int error = 0;
    if (!XQueryExtension(d->display, "XInputExtension", &d->opcode, &event, &error))
        return nullptr;
    int major = 2;
    int minor = 2;
    if (XIQueryVersion(d->display, &major, &minor) != Success || major < 2)
        return nullptr;
    std::shared_ptr<X11MouseSource> source(new X11MouseSource(std::move(d)));
    return source;
}

X11MouseSource::X11MouseSource(std::unique_ptr<Private> d)
    : d(std::move(d))
{
    this->d->notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(this->d->display), QSocketNotifier::Read);
    QObject::connect(this->d->notifier.get(), &QSocketNotifier::activated, this->d->notifier.get(),
                     [this] { readEvents(); });
}

X11MouseSource::~X11MouseSource() = default;

std::string X11MouseSource::name() const
{
    return "XInput2 raw button presses on " + d->displayName;
}

void X11MouseSource::watch(bool on)
{
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    if (on)
        XISetMask(bits, XI_RawButtonPress);
    XIEventMask mask;
    mask.deviceid = XIAllMasterDevices;
    mask.mask_len = sizeof(bits);
    mask.mask = bits;
    XISelectEvents(d->display, DefaultRootWindow(d->display), &mask, 1);
    XFlush(d->display);
}

void X11MouseSource::readEvents()
{
    while (XPending(d->display)) {
        XEvent event;
        XNextEvent(d->display, &event);
        XGenericEventCookie *cookie = &event.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != d->opcode || !XGetEventData(d->display, cookie))
            continue;
        Qt::MouseButton button = Qt::NoButton;
        if (cookie->evtype == XI_RawButtonPress) {
            switch (static_cast<const XIRawEvent *>(cookie->data)->detail) {
            case 1: button = Qt::LeftButton; break;
            case 2: button = Qt::MiddleButton; break;
            case 3: button = Qt::RightButton; break;
            default: break; // wheel steps and extra buttons
            }
        }
        XFreeEventData(d->display, cookie);
        // The pointer has not moved since the press unless the user is faster
        // than one turn of the event loop.
        if (button != Qt::NoButton && !QGuiApplication::topLevelAt(QCursor::pos()))
            dispatch(button);
    }
}

} // namespace faciward::helpers
