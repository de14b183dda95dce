#pragma once

#include <functional>
#include <memory>
#include <mutex>

namespace faciward::prefs {

class Associable;
class LifetimeAssociation;
class LifetimeTrackerList;

/// @brief A running observation of settings keys. Always held by std::shared_ptr;
/// releasing the last reference stops it.
///
/// Notices are delivered on the thread that changed the store, with no lock held.
/// One that another thread is delivering while stop() runs may still arrive after
/// stop() returns, so handlers capture what they use weakly.
class PrefsObservation : public std::enable_shared_from_this<PrefsObservation>
{
public:
    virtual ~PrefsObservation();
    PrefsObservation(const PrefsObservation &) = delete;
    PrefsObservation &operator=(const PrefsObservation &) = delete;

    /// @brief Ends the observation: unregisters it from its store and cancels its
    /// tie to an owner. Harmless to call again, and on one that never started.
    virtual void stop() = 0;

    /// @brief Ties the observation to @p owner: the owner keeps it alive, and it
    /// stops when the owner goes away. An earlier tie is cancelled, without
    /// stopping the observation: it simply moves to the new owner.
    /// @return this observation.
    std::shared_ptr<PrefsObservation> tieToOwner(const Associable &owner);
    /// @brief As tieToOwner(Associable), for an owner given by its tracker list.
    std::shared_ptr<PrefsObservation> tieToOwner(const std::shared_ptr<LifetimeTrackerList> &owner);

    /// @brief Cancels the tie to the owner, if any; the observation keeps running
    /// for as long as someone else holds it.
    void untieFromOwner();

    /// @brief True while the observation is tied to a living owner.
    bool isTied() const;

    /// @brief Runs @p body with the notices of every observation suppressed on the
    /// calling thread (NotificationSuppression); what was in force before is
    /// restored afterwards, also when @p body throws.
    static void runWithoutNotifying(const std::function<void()> &body);

protected:
    PrefsObservation();

    /// @brief Cancels the tie to the owner, if any (the last step of stop()).
    void cancelLifetimeAssociation();

private:
    mutable std::mutex m_associationMutex;
    std::shared_ptr<LifetimeAssociation> m_lifetimeAssociation;
};

} // namespace faciward::prefs
