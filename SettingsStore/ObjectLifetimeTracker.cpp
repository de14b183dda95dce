#include "ObjectLifetimeTracker.h"

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

} // namespace faciward::prefs
