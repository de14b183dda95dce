#include "PrefsObservation.h"

#include "SettingsStore/LifetimeTrackerList.h"
#include "SettingsStore/LifetimeAssociation.h"
#include "SettingsStore/NotificationSuppression.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace faciward::prefs {

PrefsObservation::PrefsObservation() = default;

PrefsObservation::~PrefsObservation() = default;

std::shared_ptr<PrefsObservation> PrefsObservation::tieToOwner(const Associable &owner)
{
    return tieToOwner(owner.lifetimeTrackers());
}

std::shared_ptr<PrefsObservation> PrefsObservation::tieToOwner(const std::shared_ptr<LifetimeTrackerList> &owner)
{
    auto self = weak_from_this().lock();
    if (!self) {
        std::fprintf(stderr, "faciward: a settings observation was tied to an owner while not held by a shared_ptr\n");
        std::abort();
    }
    std::weak_ptr<PrefsObservation> weak = self;
    auto association = std::make_shared<LifetimeAssociation>(self, owner, [weak] {
        if (auto observation = weak.lock())
            observation->stop();
    });
    std::shared_ptr<LifetimeAssociation> earlier;
    {
        std::lock_guard lock(m_associationMutex);
        earlier = std::exchange(m_lifetimeAssociation, std::move(association));
    }
    // Releasing the earlier tie as it stands would run its handler and stop this
    // observation, new tie and all; it is cancelled instead.
    if (earlier)
        earlier->cancel();
    return self;
}

void PrefsObservation::untieFromOwner()
{
    cancelLifetimeAssociation();
}

bool PrefsObservation::isTied() const
{
    std::shared_ptr<LifetimeAssociation> association;
    {
        std::lock_guard lock(m_associationMutex);
        association = m_lifetimeAssociation;
    }
    return association && association->isTied();
}

void PrefsObservation::cancelLifetimeAssociation()
{
    // Cancelled outside the lock: cancelling releases the tracker, which may run
    // handlers that come back to this observation.
    std::shared_ptr<LifetimeAssociation> association;
    {
        std::lock_guard lock(m_associationMutex);
        association = m_lifetimeAssociation;
    }
    if (association)
        association->cancel();
}

void PrefsObservation::runWithoutNotifying(const std::function<void()> &body)
{
    NotificationSuppression suppression;
    body();
}

} // namespace faciward::prefs
