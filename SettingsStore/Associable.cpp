#include "Associable.h"

#include "SettingsStore/LifetimeTrackerList.h"

namespace faciward::prefs {

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
