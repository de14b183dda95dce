#pragma once

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
    Coordinator() = default;
    /// @brief The children list, writable by subclasses.
    std::vector<std::shared_ptr<Coordinator>> &mutableChildren() { return m_children; }

private:
    std::vector<std::shared_ptr<Coordinator>> m_children;
};

} // namespace faciward::helpers
