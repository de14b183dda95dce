#include "WindowController.h"

#include "MainQueue.h"
#include "WindowFades.h"

#include <QWidget>

namespace faciward::helpers {

WindowController::WindowController(QWidget *window, WindowOwnership ownership, QObject *parent,
                                   platform::Scheduler *mainQueue)
    : QObject(parent)
    , m_window(window)
    , m_ownership(ownership)
    , m_mainQueue(mainQueue)
{
}

platform::Scheduler &WindowController::mainQueue() const
{
    return schedulerOrMain(m_mainQueue);
}

WindowController::~WindowController()
{
    // Later, not now: a fade or a close may be on the stack of this very window.
    if (m_window && m_ownership == WindowOwnership::Controller)
        m_window->deleteLater();
}

QWidget *WindowController::window() const
{
    return m_window.data();
}

void WindowController::setWindow(QWidget *window, WindowOwnership ownership)
{
    if (m_window && m_window != window && m_ownership == WindowOwnership::Controller)
        m_window->deleteLater();
    m_window = window;
    m_ownership = ownership;
}

void WindowController::showWindowFadingIn()
{
    // A controller deleted before the fade-in takes its window with it on the
    // next turn; the fade then ends silently.
    if (QWidget *window = m_window.data())
        showFadingIn(*window);
}

void WindowController::closeWindow(std::chrono::duration<double> after, std::function<void()> completion)
{
    postAfter(mainQueue(), toDelay(after), [self = QPointer<WindowController>(this),
                                            completion = std::move(completion)]() mutable {
        if (!self || !self->window())
            return;
        fadeOut(*self->window(), kFadeDuration, TimingFunction::Default, 0.0, CloseFunction::Close, true,
                std::move(completion));
    });
}

} // namespace faciward::helpers
