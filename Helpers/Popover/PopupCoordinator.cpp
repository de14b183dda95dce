#include "PopupCoordinator.h"


namespace faciward::helpers {

PopupCoordinator::PopupCoordinator(std::shared_ptr<StatusItem> statusItem, bool allowTapToClose,
                                   std::optional<std::chrono::duration<double>> dismissAfterDelay,
                                   DidFinish didFinish, std::shared_ptr<GlobalMouseSource> mouseSource,
                                   platform::Scheduler *mainQueue)
    : Coordinator(mainQueue)
    , m_statusItem(std::move(statusItem))
    , m_allowTapToClose(allowTapToClose)
    , m_dismissAfterDelay(dismissAfterDelay)
    , m_didFinish(std::move(didFinish))
    , m_mouseSource(std::move(mouseSource))
{
}

PopupCoordinator::~PopupCoordinator() = default;

bool PopupCoordinator::isPopup() const
{
    return true;
}

std::optional<QSize> PopupCoordinator::contentSize()
{
    return std::nullopt;
}

PopoverWindow &PopupCoordinator::popover()
{
    if (!m_popover) {
        // Deleted from the event loop: the popover may be on the stack (a hide
        // that ends the flow) when its coordinator goes.
        m_popover = {new PopoverWindow(), [](PopoverWindow *popover) {
                         QObject::disconnect(popover, &PopoverWindow::hidden, nullptr, nullptr);
                         popover->deleteLater();
                     }};
        // Whoever hides the popover, the monitor must not outlive it.
        QObject::connect(m_popover.get(), &PopoverWindow::hidden, m_popover.get(), [this] { stopMonitor(); });
    }
    return *m_popover;
}

EventMonitor &PopupCoordinator::eventMonitor()
{
    if (!m_eventMonitor) {
        // Weakly held: the monitor never keeps its flow alive. The press is
        // handled on a later turn, through the subclass's finish().
        auto handler = [weak = weak_from_this(), &queue = mainQueue()](Qt::MouseButton) {
            queue.post([weak] {
                if (auto self = weak.lock())
                    self->finish();
            });
        };
        m_eventMonitor = std::make_unique<EventMonitor>(Qt::LeftButton | Qt::RightButton, handler,
                                                        m_mouseSource ? m_mouseSource : systemMouseSource());
    }
    return *m_eventMonitor;
}

void PopupCoordinator::stopMonitor()
{
    // A monitor that was never made has nothing to stop.
    if (m_eventMonitor)
        m_eventMonitor->stop();
}

void PopupCoordinator::setContentSize(const QSize &size)
{
    popover().setContentSize(size);
}

void PopupCoordinator::start()
{
    postToMainHoldingSelf<PopupCoordinator>([](PopupCoordinator &self) { self.show(); });
    if (m_dismissAfterDelay)
        postAfter(mainQueue(), toDelay(*m_dismissAfterDelay), [self = shared_from_this()] { self->finish(); });
}

void PopupCoordinator::finish()
{
    postToMainHoldingSelf<PopupCoordinator>([](PopupCoordinator &self) { self.close(); });
}

void PopupCoordinator::show()
{
    if (!m_statusItem)
        return;
    if (const std::optional<QSize> size = contentSize())
        popover().setContentSize(*size);
    popover().setContentWidget(contentWidget());
    popover().showRelativeTo(m_statusItem->anchorRect());
    if (m_allowTapToClose)
        eventMonitor().start();
}

void PopupCoordinator::close()
{
    if (m_popover && m_popover->isVisible()) {
        m_popover->hide();
        m_didFinish(*this);
        stopMonitor();
    } else {
        m_didFinish(*this);
    }
}

} // namespace faciward::helpers
