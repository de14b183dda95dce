#pragma once

#include "HostingWindowController.h"
#include "WindowConfiguration.h"

#include "Helpers/Core/Coordinator.h"

#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

namespace faciward::helpers {

/// @brief The coordinator of every flow shown in a window of its own.
///
/// A subclass supplies the content and optionally a configuration, and is made
/// with std::make_shared. start() posts and returns: on a later turn the
/// application is brought forward, a HostingWindowController is built around
/// the content, the configuration applied, the window made floating when
/// asked, and the window fades in, centred. finish() posts a fade-out and
/// `didFinish`. The close button asks shouldClose(), which finishes the flow.
class HostingWindowCoordinator : public Coordinator
{
public:
    ~HostingWindowCoordinator() override;

    void start() override;
    void finish() override;
    /// @brief The close button's question: finishes the flow and lets the window go.
    virtual bool shouldClose();

    /// @brief The controller, once start() has run on the main queue.
    HostingWindowController *windowController() const { return m_windowController.get(); }

protected:
    /// @brief @p window, when given, is used instead of a new one; it stays its owner's.
    HostingWindowCoordinator(QWidget *window, bool isFloatingWindow, DidFinish didFinish);

    /// @brief The content, asked on every start; the window owns it.
    virtual QWidget *contentWidget() = 0;
    /// @brief The window's look; nullopt applies nothing. By default: no hidden
    /// buttons, title hidden, a transparent title bar, no separator, the style
    /// as made.
    virtual std::optional<WindowConfiguration> windowConfiguration();
    /// @brief Called once the configuration is applied, before the window shows.
    virtual void didConfigureWindow() {}
    /// @brief Shows the window, fading in. Only after the controller was built.
    virtual void showWindow();

private:
    void build();

    QPointer<QWidget> m_window;
    bool m_isFloatingWindow;
    DidFinish m_didFinish;
    std::shared_ptr<HostingWindowController> m_windowController;
};

} // namespace faciward::helpers
