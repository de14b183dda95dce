#include "PrefsSubscription.h"

#include "SettingsStore/UserDefaultsKeyObservation.h"

namespace faciward::prefs {

std::shared_ptr<PrefsSubscription> PrefsSubscription::create(Subscriber subscriber,
                                                             const std::shared_ptr<platform::SettingsStore> &suite,
                                                             std::string key, ObservationOptions options)
{
    auto subscription = std::make_shared<PrefsSubscription>(Passkey{}, std::move(subscriber), std::move(options));
    std::weak_ptr<PrefsSubscription> weak = subscription;
    subscription->m_observation =
        UserDefaultsKeyObservation::create(suite, std::move(key), [weak](const BaseChange &change) {
            if (auto alive = weak.lock())
                alive->receive(change);
        });
    return subscription;
}

PrefsSubscription::PrefsSubscription(Passkey, Subscriber subscriber, ObservationOptions options)
    : m_subscriber(subscriber ? std::make_shared<Subscriber>(std::move(subscriber)) : nullptr)
    , m_options(std::move(options))
{
}

PrefsSubscription::~PrefsSubscription()
{
    cancel();
}

void PrefsSubscription::start()
{
    std::shared_ptr<UserDefaultsKeyObservation> observation;
    {
        std::lock_guard lock(m_mutex);
        observation = m_observation;
    }
    if (observation)
        observation->start(m_options);
}

void PrefsSubscription::request(std::size_t)
{
}

void PrefsSubscription::cancel()
{
    std::shared_ptr<UserDefaultsKeyObservation> observation;
    std::shared_ptr<Subscriber> subscriber;
    {
        std::lock_guard lock(m_mutex);
        observation = std::move(m_observation);
        subscriber = std::move(m_subscriber);
        m_observation = nullptr;
        m_subscriber = nullptr;
    }
    // Outside the lock, observation first: a record on its way finds no subscriber.
    if (observation)
        observation->stop();
    observation.reset();
    subscriber.reset();
}

void PrefsSubscription::receive(const BaseChange &change)
{
    std::shared_ptr<Subscriber> subscriber;
    {
        std::lock_guard lock(m_mutex);
        subscriber = m_subscriber;
    }
    if (subscriber)
        (*subscriber)(change);
}

} // namespace faciward::prefs
