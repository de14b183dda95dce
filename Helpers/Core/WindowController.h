#pragma once

#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>

class QWidget;

namespace faciward::helpers {

/// @brief Owns one window and shows and closes it with the toolkit's fades.
///
/// The window is the controller's: it is deleted (later, from the event loop)
/// with the controller. Anything may delete it earlier; the controller then
/// has no window. Main thread only, except closeWindow().
class WindowController : public QObject
{
public:
    explicit WindowController(QWidget *window = nullptr, QObject *parent = nullptr);
    ~WindowController() override;

    QWidget *window() const;
    /// @brief Takes ownership of @p window; a former window is deleted.
    void setWindow(QWidget *window);
    /// @brief Gives up the window without deleting it; the caller owns it now.
    QWidget *releaseWindow();

    /// @brief showFadingIn() of the window; without a window nothing is shown.
    void showWindowFadingIn();

    /// @brief After @p after, fades the window out over 0.25 s, closes it
    /// without asking, restores its opacity and calls @p completion. Runs after
    /// the caller returns, even with a delay of zero. When the controller or
    /// its window has gone by then, nothing happens and @p completion is not
    /// called. Safe from any thread.
    void closeWindow(std::chrono::duration<double> after, std::function<void()> completion = {});

private:
    QPointer<QWidget> m_window;
};

} // namespace faciward::helpers
