#include "LifetimeAssociation.h"

#include "SettingsStore/LifetimeTrackerList.h"

#include <cstdio>
#include <cstdlib>

namespace faciward::prefs {

LifetimeAssociation::LifetimeAssociation(std::shared_ptr<void> target,
                                         const std::shared_ptr<LifetimeTrackerList> &owner,
                                         std::function<void()> deinitHandler)
{
    if (!owner) {
        std::fprintf(stderr, "faciward: a lifetime association was made without an owner\n");
        std::abort();
    }
    auto tracker = std::make_shared<ObjectLifetimeTracker>(std::move(target), std::move(deinitHandler));
    m_tracker = tracker;
    m_owner = owner;
    owner->append(std::move(tracker));
}

LifetimeAssociation::LifetimeAssociation(std::shared_ptr<void> target, const Associable &owner,
                                         std::function<void()> deinitHandler)
    : LifetimeAssociation(std::move(target), owner.lifetimeTrackers(), std::move(deinitHandler))
{
}

LifetimeAssociation::~LifetimeAssociation()
{
    removeTie();
}

void LifetimeAssociation::cancel()
{
    if (auto tracker = this->tracker())
        tracker->setDeinitHandler({});
    removeTie();
}

void LifetimeAssociation::removeTie()
{
    std::shared_ptr<ObjectLifetimeTracker> tracker;
    std::shared_ptr<LifetimeTrackerList> owner;
    {
        std::lock_guard lock(m_mutex);
        owner = m_owner.lock();
        tracker = m_tracker.lock();
    }
    if (!owner || !tracker)
        return;
    // Destroyed after this function's locks are gone: the last reference runs
    // the handler, which may come back here.
    auto removed = owner->removeFirst(tracker.get());
    if (!removed)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_owner.reset();
    }
    removed.reset();
    tracker.reset();
}

bool LifetimeAssociation::isTied() const
{
    std::shared_ptr<ObjectLifetimeTracker> tracker;
    std::shared_ptr<LifetimeTrackerList> owner;
    {
        std::lock_guard lock(m_mutex);
        owner = m_owner.lock();
        tracker = m_tracker.lock();
    }
    return owner && tracker && owner->indexOf(tracker.get()) < owner->size();
}

std::shared_ptr<ObjectLifetimeTracker> LifetimeAssociation::tracker() const
{
    std::lock_guard lock(m_mutex);
    return m_tracker.lock();
}

} // namespace faciward::prefs
