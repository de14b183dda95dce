#include "WindowFades.h"

#include "MainQueue.h"
#include "Screen.h"

#include <QApplication>
#include <QEasingCurve>
#include <QPointer>
#include <QPropertyAnimation>
#include <QWidget>

#include <algorithm>
#include <array>

namespace faciward::helpers {

namespace {

// The running fade of a window is its one child animation of this name; the
// opacity the window has at rest once that fade is over rides on it.
const char *const kFadeName = "faciward-window-fade";
const char *const kRestingAlpha = "faciwardRestingAlpha";

QEasingCurve bezier(qreal x1, qreal y1, qreal x2, qreal y2)
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(x1, y1), QPointF(x2, y2), QPointF(1, 1));
    return curve;
}

} // namespace

QAbstractAnimation *runningFade(QWidget &window)
{
    return window.findChild<QPropertyAnimation *>(QString::fromLatin1(kFadeName), Qt::FindDirectChildrenOnly);
}

namespace {

/// The opacity the window will have once whatever fade runs on it is over.
qreal restingAlpha(QWidget &window)
{
    if (auto *fade = runningFade(window))
        return fade->property(kRestingAlpha).toReal();
    return window.windowOpacity();
}

// A fade that is over goes on the next turn of the main queue, out of the way
// of its own signal on the stack. Not deleteLater(): that waits for the event
// loop it was called from to return, which never comes for a call made outside
// any loop, and owners learn from the deletion that the fade is over.
void deleteOnNextTurn(QObject *fade)
{
    postToMain([fade = QPointer<QObject>(fade)] { delete fade.data(); });
}

// Starts the one fade of @p window; @p ended runs, after the caller has
// returned, unless the window is deleted or another fade replaces this one first.
void runFade(QWidget &window, std::chrono::milliseconds duration, TimingFunction timing, qreal targetAlpha,
             qreal resting, std::function<void(QWidget &)> ended)
{
    if (auto *replaced = runningFade(window)) {
        replaced->setObjectName(QString());
        replaced->stop();
        deleteOnNextTurn(replaced);
    }
    auto *fade = new QPropertyAnimation(&window, QByteArrayLiteral("windowOpacity"), &window);
    fade->setObjectName(QString::fromLatin1(kFadeName));
    fade->setProperty(kRestingAlpha, resting);
    fade->setDuration(static_cast<int>(duration.count()));
    fade->setEasingCurve(timingCurve(timing));
    fade->setStartValue(window.windowOpacity());
    fade->setEndValue(targetAlpha);

    auto end = [fade = QPointer<QPropertyAnimation>(fade), ended = std::move(ended)] {
        // Gone with its window, or replaced by a newer fade.
        if (!fade || fade->objectName() != QLatin1String(kFadeName))
            return;
        auto &faded = *static_cast<QWidget *>(fade->parent());
        fade->setObjectName(QString());
        deleteOnNextTurn(fade);
        ended(faded);
    };
    if (duration.count() > 0) {
        QObject::connect(fade, &QAbstractAnimation::finished, fade, end);
        fade->start();
    } else {
        // Qt would end a zero-length animation inside start(); the fade must
        // still end after the caller returns.
        window.setWindowOpacity(targetAlpha);
        postToMain(end);
    }
}

} // namespace

const QEasingCurve &timingCurve(TimingFunction function)
{
    // Qt's named curves (InQuad, OutCubic, ...) are other curves: these are
    // the control points of the platform's standard timing functions.
    static const std::array<QEasingCurve, 5> curves{
        bezier(0.42, 0.0, 1.0, 1.0),    // EaseIn
        bezier(0.0, 0.0, 0.58, 1.0),    // EaseOut
        bezier(0.42, 0.0, 0.58, 1.0),   // EaseInEaseOut
        QEasingCurve(QEasingCurve::Linear),
        bezier(0.25, 0.1, 0.25, 1.0),   // Default
    };
    return curves.at(static_cast<std::size_t>(function));
}

void fadeIn(QWidget &window, std::chrono::milliseconds duration, TimingFunction timing,
            PresentationFunction presentation, qreal startAlpha, qreal targetAlpha, std::function<void()> completion)
{
    window.setWindowOpacity(startAlpha);
    presentWindow(window, presentation);
    runFade(window, duration, timing, targetAlpha, targetAlpha, [completion = std::move(completion)](QWidget &) {
        if (completion)
            completion();
    });
}

void fadeOut(QWidget &window, std::chrono::milliseconds duration, TimingFunction timing, qreal targetAlpha,
             CloseFunction closeFunction, bool restoresAlpha, std::function<void()> completion)
{
    const qreal before = restingAlpha(window);
    runFade(window, duration, timing, targetAlpha, restoresAlpha ? before : targetAlpha,
            [=, completion = std::move(completion)](QWidget &faded) {
                QPointer<QWidget> guard(&faded);
                closeWindowNow(faded, closeFunction);
                if (guard && restoresAlpha)
                    guard->setWindowOpacity(before);
                if (completion)
                    completion();
            });
}

void showFadingIn(QWidget &window)
{
    window.setWindowOpacity(0.0);
    presentWindow(window, PresentationFunction::MakeKeyAndOrderFront);
    runFade(window, std::chrono::milliseconds(0), TimingFunction::Default, 0.0, 1.0, [](QWidget &shown) {
        Screen::centerOnScreen(shown);
        fadeIn(shown, kFadeDuration, TimingFunction::Default, PresentationFunction::MakeKeyAndOrderFront, 0.0, 1.0);
    });
}

void fadeOutAndHide(QWidget &window)
{
    fadeOut(window, kFadeDuration, TimingFunction::Default, 0.0, CloseFunction::OrderOut, true);
}

} // namespace faciward::helpers
