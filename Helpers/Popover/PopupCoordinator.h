#pragma once

#include "EventMonitor.h"
#include "PopoverWindow.h"
#include "StatusItem.h"

#include "Helpers/Core/Coordinator.h"

#include <QSize>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace faciward::helpers {

/// @brief The coordinator of every flow whose content hangs in a popover below
/// the status item.
///
/// A subclass supplies the content (contentWidget(), and optionally
/// contentSize()) and is made with std::make_shared. start() and finish() only
/// post to the main queue and return; the popover opens and closes on a later
/// turn, and `didFinish` is called with the coordinator once it has gone. With
/// `allowTapToClose`, a press outside the application finishes the flow; with
/// a dismiss delay, it finishes by itself that long after start().
///
/// `didFinish` runs on every finish(), so a parent may hear of one child twice
/// (a close by hand and then the delay, two quick outside clicks): its
/// completion should begin with `if (!removeChild(&child)) return;`.
class PopupCoordinator : public Coordinator
{
public:
    ~PopupCoordinator() override;

    void start() override;
    void finish() override;
    bool isPopup() const override;

    /// @brief Sets the popover's content size; may be called while it is shown.
    void setContentSize(const QSize &size);

protected:
    /// @brief A missing @p statusItem shows nothing: no tray and no fallback.
    /// @p mouseSource is the system's unless a test brings its own; so is
    /// @p mainQueue, where the dismiss delay waits (see Coordinator).
    PopupCoordinator(std::shared_ptr<StatusItem> statusItem, bool allowTapToClose,
                     std::optional<std::chrono::duration<double>> dismissAfterDelay, DidFinish didFinish,
                     std::shared_ptr<GlobalMouseSource> mouseSource = nullptr,
                     platform::Scheduler *mainQueue = nullptr);

    /// @brief The content to show, asked on every show; the popover owns it.
    virtual QWidget *contentWidget() = 0;
    /// @brief The content's size, or nullopt to keep the popover's own.
    virtual std::optional<QSize> contentSize();

    /// @brief The popover, made on first use. Subclasses may hide it themselves;
    /// the outside-click monitor stops with it. It runs on while the window
    /// manager hides the popover (a minimise), which it gives back later.
    PopoverWindow &popover();
    /// @brief The outside-click monitor, made on first use.
    EventMonitor &eventMonitor();

private:
    void show();
    void close();
    void stopMonitor();

    std::shared_ptr<StatusItem> m_statusItem;
    bool m_allowTapToClose;
    std::optional<std::chrono::duration<double>> m_dismissAfterDelay;
    DidFinish m_didFinish;
    std::shared_ptr<GlobalMouseSource> m_mouseSource;
    std::unique_ptr<PopoverWindow, void (*)(PopoverWindow *)> m_popover{nullptr, nullptr};
    std::unique_ptr<EventMonitor> m_eventMonitor;
};

} // namespace faciward::helpers
