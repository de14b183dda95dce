#include "UserDefaultsKeyObservation.h"

#include "SettingsStore/NotificationSuppression.h"

#include <utility>

namespace faciward::prefs {

std::shared_ptr<UserDefaultsKeyObservation>
UserDefaultsKeyObservation::create(const std::shared_ptr<platform::SettingsStore> &suite, std::string key,
                                   Callback callback)
{
    return std::make_shared<UserDefaultsKeyObservation>(Passkey{}, suite, std::move(key), std::move(callback));
}

UserDefaultsKeyObservation::UserDefaultsKeyObservation(Passkey, const std::shared_ptr<platform::SettingsStore> &suite,
                                                       std::string key, Callback callback)
    : m_object(suite)
    , m_key(std::move(key))
    , m_callback(std::move(callback))
{
}

UserDefaultsKeyObservation::~UserDefaultsKeyObservation()
{
    stop();
}

std::shared_ptr<platform::SettingsStore> UserDefaultsKeyObservation::suite() const
{
    std::lock_guard lock(m_mutex);
    return m_object.lock();
}

void UserDefaultsKeyObservation::start(const ObservationOptions &options)
{
    std::shared_ptr<platform::SettingsStore> store;
    {
        std::lock_guard lock(m_mutex);
        if (m_started)
            return;
        m_started = true;
        store = m_object.lock();
    }
    if (!store)
        return;
    std::weak_ptr<UserDefaultsKeyObservation> weak =
        std::static_pointer_cast<UserDefaultsKeyObservation>(shared_from_this());
    // The store may deliver the initial record before the token is known here.
    const auto token = store->addObserver(m_key, keyValueObservingOptions(options), [weak](const BaseChange &change) {
        if (auto observation = weak.lock())
            observation->observeValue(change);
    });
    bool stoppedMeanwhile = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_object.expired())
            stoppedMeanwhile = true;
        else
            m_token = token;
    }
    if (stoppedMeanwhile)
        store->removeObserver(token);
}

void UserDefaultsKeyObservation::stop()
{
    std::shared_ptr<platform::SettingsStore> store;
    std::optional<platform::SettingsStore::ObserverToken> token;
    {
        std::lock_guard lock(m_mutex);
        store = m_object.lock();
        token = std::exchange(m_token, std::nullopt);
        m_object.reset();
    }
    // Only what this observation registered is removed, and only once.
    if (store && token)
        store->removeObserver(*token);
    cancelLifetimeAssociation();
}

void UserDefaultsKeyObservation::observeValue(const BaseChange &change)
{
    if (!suite()) {
        stop();
        return;
    }
    if (NotificationSuppression::isActive())
        return;
    if (m_callback)
        m_callback(change);
}

} // namespace faciward::prefs
