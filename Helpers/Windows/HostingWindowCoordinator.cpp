#include "HostingWindowCoordinator.h"

#include "Helpers/Core/FatalError.h"

#include <QWidget>

namespace faciward::helpers {

HostingWindowCoordinator::HostingWindowCoordinator(QWidget *window, bool isFloatingWindow, DidFinish didFinish)
    : m_window(window)
    , m_isFloatingWindow(isFloatingWindow)
    , m_didFinish(std::move(didFinish))
{
}

HostingWindowCoordinator::~HostingWindowCoordinator() = default;

std::optional<WindowConfiguration> HostingWindowCoordinator::windowConfiguration()
{
    return WindowConfiguration{};
}

void HostingWindowCoordinator::start()
{
    postToMainHoldingSelf<HostingWindowCoordinator>([](HostingWindowCoordinator &self) { self.build(); });
}

void HostingWindowCoordinator::build()
{
    // Bringing the application forward is the fade-in's first step (showWindow).
    QWidget *content = contentWidget();
    if (m_windowController) {
        // A second start: the first window must not stay on screen untracked.
        // It goes with its controller, unless it is the given window, which
        // stays its owner's and which the new controller takes over.
        if (QWidget *former = m_windowController->window())
            former->hide();
    }
    // Asked weakly: the window never keeps its flow alive. A flow that has
    // gone lets its window close.
    auto shouldClose = [weak = weak_from_this()] {
        const auto self = weak.lock();
        return !self || static_cast<HostingWindowCoordinator &>(*self).shouldClose();
    };
    m_windowController = std::make_shared<HostingWindowController>(
        m_window, content, std::vector<std::shared_ptr<ToolbarItem>>{}, std::move(shouldClose));
    HostingWindowController &controller = *m_windowController;
    if (const std::optional<WindowConfiguration> configuration = windowConfiguration()) {
        controller.setTitleVisibility(configuration->titleVisibility);
        controller.setTitlebarAppearsTransparent(configuration->titlebarAppearsTransparent);
        controller.setTitlebarSeparatorStyle(configuration->titlebarSeparatorStyle);
        for (WindowButton button : configuration->hiddingButtons)
            controller.hideButton(button);
        if (configuration->styleMask)
            controller.setStyleMask(*configuration->styleMask);
    }
    if (m_isFloatingWindow)
        controller.setFloating(true);
    didConfigureWindow();
    showWindow();
}

void HostingWindowCoordinator::showWindow()
{
    if (!m_windowController)
        fatalError("showWindow() needs the window controller that start() builds");
    m_windowController->showWindowFadingIn();
}

void HostingWindowCoordinator::finish()
{
    postToMainHoldingSelf<HostingWindowCoordinator>([](HostingWindowCoordinator &self) {
        if (self.m_windowController)
            self.m_windowController->hideWindowFadingOut(self.m_windowController);
        self.m_didFinish(self);
    });
}

bool HostingWindowCoordinator::shouldClose()
{
    finish();
    return true;
}

} // namespace faciward::helpers
