#pragma once

#include "MainQueue.h"

#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>

class QWidget;

namespace faciward::helpers {

/// @brief Who deletes a controller's window.
enum class WindowOwnership {
    Controller, ///< the controller: it goes (later, from the event loop) with the controller
    Caller,     ///< whoever gave it: the controller never deletes it
};

/// @brief Shows and closes one window with the toolkit's fades.
///
/// A window the controller owns is deleted (later, from the event loop) with
/// the controller; a window its caller owns is never deleted by it, so that an
/// owner holding it as a member or a unique_ptr deletes it exactly once.
/// Anything may delete the window earlier; the controller then has no window.
/// Main thread only, except closeWindow().
class WindowController : public QObject
{
    Q_OBJECT

public:
    /// @brief @p mainQueue, when given, is where the delayed close waits
    /// (mainScheduler() otherwise); it must outlive the controller.
    explicit WindowController(QWidget *window = nullptr, WindowOwnership ownership = WindowOwnership::Controller,
                              QObject *parent = nullptr, platform::Scheduler *mainQueue = nullptr);
    ~WindowController() override;

    QWidget *window() const;
    /// @brief Uses @p window from now on; a former window the controller owns is deleted.
    void setWindow(QWidget *window, WindowOwnership ownership = WindowOwnership::Controller);

    /// @brief showFadingIn() of the window; without a window nothing is shown.
    void showWindowFadingIn();

    /// @brief After @p after, fades the window out over 0.25 s, closes it
    /// without asking, restores its opacity and calls @p completion. Runs after
    /// the caller returns, even with a delay of zero. When the controller or
    /// its window has gone by then, nothing happens and @p completion is not
    /// called. An infinite delay never closes. Safe from any thread.
    void closeWindow(std::chrono::duration<double> after, std::function<void()> completion = {});

protected:
    /// @brief The queue this controller's later work runs on.
    platform::Scheduler &mainQueue() const;

private:
    QPointer<QWidget> m_window;
    WindowOwnership m_ownership;
    platform::Scheduler *m_mainQueue;
};

} // namespace faciward::helpers
