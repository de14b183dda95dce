#include "LifetimeTrackerList.h"

#include <algorithm>
#include <utility>

namespace faciward::prefs {

ObjectLifetimeTracker::ObjectLifetimeTracker(std::shared_ptr<void> object, std::function<void()> deinitHandler)
    : m_object(std::move(object))
    , m_deinitHandler(std::move(deinitHandler))
{
}

ObjectLifetimeTracker::~ObjectLifetimeTracker()
{
    std::function<void()> handler;
    std::shared_ptr<void> object;
    {
        std::lock_guard lock(m_mutex);
        handler = std::move(m_deinitHandler);
        object = std::move(m_object);
    }
    if (handler)
        handler();
    // The target goes last, after the handler has run.
    object.reset();
}

void ObjectLifetimeTracker::setDeinitHandler(std::function<void()> deinitHandler)
{
    std::function<void()> replaced;
    {
        std::lock_guard lock(m_mutex);
        replaced = std::exchange(m_deinitHandler, std::move(deinitHandler));
    }
}

LifetimeTrackerList::~LifetimeTrackerList()
{
    releaseAll();
}

void LifetimeTrackerList::append(std::shared_ptr<ObjectLifetimeTracker> tracker)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_released) {
            m_trackers.push_back(std::move(tracker));
            return;
        }
    }
    tracker.reset();
}

std::shared_ptr<ObjectLifetimeTracker> LifetimeTrackerList::removeFirst(const ObjectLifetimeTracker *tracker)
{
    std::lock_guard lock(m_mutex);
    auto found = std::find_if(m_trackers.begin(), m_trackers.end(),
                              [tracker](const auto &attached) { return attached.get() == tracker; });
    if (found == m_trackers.end())
        return nullptr;
    auto removed = std::move(*found);
    m_trackers.erase(found);
    return removed;
}

void LifetimeTrackerList::releaseAll()
{
    std::vector<std::shared_ptr<ObjectLifetimeTracker>> trackers;
    {
        std::lock_guard lock(m_mutex);
        m_released = true;
        trackers.swap(m_trackers);
    }
    for (auto &tracker : trackers)
        tracker.reset();
}

bool LifetimeTrackerList::isReleased() const
{
    std::lock_guard lock(m_mutex);
    return m_released;
}

std::size_t LifetimeTrackerList::size() const
{
    std::lock_guard lock(m_mutex);
    return m_trackers.size();
}

std::size_t LifetimeTrackerList::indexOf(const ObjectLifetimeTracker *tracker) const
{
    std::lock_guard lock(m_mutex);
    auto found = std::find_if(m_trackers.begin(), m_trackers.end(),
                              [tracker](const auto &attached) { return attached.get() == tracker; });
    return static_cast<std::size_t>(found - m_trackers.begin());
}

Associable::Associable()
    : m_trackers(std::make_shared<LifetimeTrackerList>())
{
}

Associable::~Associable()
{
    // Explicitly, on this thread: an association that is removing its tie on
    // another thread may hold the list a moment longer.
    m_trackers->releaseAll();
}

} // namespace faciward::prefs
