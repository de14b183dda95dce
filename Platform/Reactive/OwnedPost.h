#pragma once

#include "Scheduler.h"

#include <functional>
#include <memory>

namespace faciward::platform {

/// @brief Posts work to a scheduler on behalf of the object that holds it: the
/// work runs on the scheduler's thread only if that object still lives then.
///
/// The owner must live on the scheduler's thread and be destroyed there. The
/// check happens on that thread right before the work runs, so the owner cannot
/// go away between the check and the work. The scheduler must outlive every
/// Poster taken from it.
class OwnedPost
{
public:
    /// @brief A copyable handle for posting on the owner's behalf from any
    /// thread, even after the owner is gone (the work is then dropped).
    class Poster
    {
    public:
        void operator()(std::function<void()> work) const
        {
            m_scheduler->post([alive = m_alive, work = std::move(work)] {
                if (!alive.expired())
                    work();
            });
        }

    private:
        friend class OwnedPost;
        Poster(Scheduler &scheduler, std::weak_ptr<const int> alive)
            : m_scheduler(&scheduler)
            , m_alive(std::move(alive))
        {
        }
        Scheduler *m_scheduler;
        std::weak_ptr<const int> m_alive;
    };

    explicit OwnedPost(Scheduler &scheduler)
        : m_scheduler(scheduler)
    {
    }
    OwnedPost(const OwnedPost &) = delete;
    OwnedPost &operator=(const OwnedPost &) = delete;

    /// @brief Runs @p work on the scheduler's thread unless the owner is gone by
    /// then. Call while the owner lives; Poster is for later calls.
    void operator()(std::function<void()> work) const { poster()(std::move(work)); }

    /// @brief A handle to post with from another thread later on.
    Poster poster() const { return Poster(m_scheduler, m_alive); }

private:
    Scheduler &m_scheduler;
    const std::shared_ptr<const int> m_alive = std::make_shared<const int>(0);
};

} // namespace faciward::platform
