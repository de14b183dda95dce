#pragma once

#include "MainQueue.h"

#include <functional>
#include <memory>
#include <vector>

namespace faciward::helpers {

/// @brief The base of every flow: each window or popover is driven by one
/// coordinator, and the coordinator that opened it holds it as a child until
/// it has finished.
///
/// Coordinators are shared objects (made with `std::make_shared`): work they
/// post to the main queue holds them strongly, monitors hold them weakly. A
/// parent creates the child with its completion, calls addChild(), then
/// start(); in the completion it calls removeChild(), which drops the last
/// reference the tree holds. Main thread only.
class Coordinator : public std::enable_shared_from_this<Coordinator>
{
public:
    /// @brief What a flow calls with itself once it has finished, on the main
    /// thread; the parent's usual answer is removeChild().
    using DidFinish = std::function<void(Coordinator &)>;

    virtual ~Coordinator() = default;
    Coordinator(const Coordinator &) = delete;
    Coordinator &operator=(const Coordinator &) = delete;

    /// @brief Starts the flow. Every concrete coordinator has one.
    virtual void start() = 0;
    /// @brief Ends the flow. A flow that never ends by itself (the root) does
    /// not override it; reaching it there is a programmer error.
    virtual void finish();
    /// @brief True for popover flows, which the shell finishes before it opens another popover.
    virtual bool isPopup() const;

    /// @brief Appends @p child to children(); no duplicate check, the child is not started.
    void addChild(std::shared_ptr<Coordinator> child);
    /// @brief Removes the first child that is the very object @p child (identity,
    /// not equality); the others keep their order. Returns false, changing
    /// nothing, when none is, so that a completion can ignore a second call.
    bool removeChild(const Coordinator *child);

    /// @brief The children, strongly held, in the order they were added.
    const std::vector<std::shared_ptr<Coordinator>> &children() const { return m_children; }

protected:
    /// @brief @p mainQueue, when given, is where the flow's work runs and
    /// waits (mainScheduler() otherwise); it must outlive the coordinator.
    explicit Coordinator(platform::Scheduler *mainQueue = nullptr)
        : m_mainQueue(mainQueue)
    {
    }

    /// @brief The queue this flow's work runs and waits on.
    platform::Scheduler &mainQueue() const { return schedulerOrMain(m_mainQueue); }

    /// @brief Runs @p work with this coordinator, as its own type @p Self, on
    /// a later turn of mainQueue(), holding it strongly until then: a flow
    /// whose parent lets go in the meantime still runs what it posted.
    template <typename Self, typename Work>
    void postToMainHoldingSelf(Work work)
    {
        mainQueue().post([self = std::static_pointer_cast<Self>(shared_from_this()), work = std::move(work)]() mutable {
            work(*self);
        });
    }

private:
    platform::Scheduler *m_mainQueue;
    std::vector<std::shared_ptr<Coordinator>> m_children;
};

} // namespace faciward::helpers
