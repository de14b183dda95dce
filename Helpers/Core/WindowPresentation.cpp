#include "WindowPresentation.h"

#include <QPointer>
#include <QVariant>
#include <QWidget>

namespace faciward::helpers {

namespace {

// Set on the window for the length of a close that must not ask.
const char *const kClosingUnconditionally = "faciwardClosingUnconditionally";

} // namespace

void presentWindow(QWidget &window, PresentationFunction function)
{
    switch (function) {
    case PresentationFunction::MakeKey:
        window.activateWindow();
        break;
    case PresentationFunction::MakeKeyAndOrderFront:
        window.show();
        window.raise();
        window.activateWindow();
        break;
    case PresentationFunction::OrderFront:
    case PresentationFunction::OrderFrontRegardless:
        window.show();
        window.raise();
        break;
    }
}

void closeWindowNow(QWidget &window, CloseFunction function)
{
    if (function == CloseFunction::OrderOut) {
        window.hide();
        return;
    }
    window.setAttribute(Qt::WA_QuitOnClose, false);
    const bool unconditional = function == CloseFunction::Close;
    window.setProperty(kClosingUnconditionally, unconditional);
    QPointer<QWidget> guard(&window); // a window may delete itself on close
    window.close();
    if (guard)
        guard->setProperty(kClosingUnconditionally, QVariant());
}

bool isClosingUnconditionally(const QWidget &window)
{
    return window.property(kClosingUnconditionally).toBool();
}

} // namespace faciward::helpers
