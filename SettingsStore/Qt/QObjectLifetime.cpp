#include "QObjectLifetime.h"

#include "SettingsStore/LifetimeTrackerList.h"

#include <QObject>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <unordered_map>

namespace faciward::prefs {

namespace {

// The lists of the owners that have one. Never destroyed: an owner may be
// destroyed during the program's exit, after static objects are gone.
struct Registry
{
    std::mutex mutex;
    std::unordered_map<const QObject *, std::shared_ptr<LifetimeTrackerList>> lists;
};

Registry &registry()
{
    static Registry *instance = new Registry;
    return *instance;
}

void release(const QObject *owner)
{
    std::shared_ptr<LifetimeTrackerList> list;
    {
        std::lock_guard lock(registry().mutex);
        auto found = registry().lists.find(owner);
        if (found == registry().lists.end())
            return;
        list = std::move(found->second);
        registry().lists.erase(found);
    }
    list->releaseAll();
}

} // namespace

std::shared_ptr<LifetimeTrackerList> QObjectLifetime::trackersOf(QObject *owner)
{
    if (!owner) {
        std::fprintf(stderr, "faciward: an observation was tied to a null QObject\n");
        std::abort();
    }
    std::shared_ptr<LifetimeTrackerList> list;
    {
        std::lock_guard lock(registry().mutex);
        auto &slot = registry().lists[owner];
        if (slot)
            return slot;
        slot = std::make_shared<LifetimeTrackerList>();
        list = slot;
    }
    // Connecting is safe from any thread; without a context object the handler
    // runs on the thread that destroys the owner, within its destructor.
    QObject::connect(owner, &QObject::destroyed, [owner] { release(owner); });
    return list;
}

} // namespace faciward::prefs
