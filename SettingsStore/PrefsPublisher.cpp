#include "PrefsPublisher.h"

#include "SettingsStore/PrefsSubscription.h"

namespace faciward::prefs {

PrefsPublisher::PrefsPublisher(std::shared_ptr<platform::SettingsStore> suite, std::string key,
                               ObservationOptions options)
    : m_suite(std::move(suite))
    , m_key(std::move(key))
    , m_options(std::move(options))
{
}

platform::AnyCancellable PrefsPublisher::sink(platform::Publisher<BaseChange>::Receiver receiver) const
{
    auto subscription = PrefsSubscription::create(std::move(receiver), m_suite, m_key, m_options);
    // The cancellable is the only owner of the subscription: destroying it ends
    // the subscription and, with it, the observation.
    platform::AnyCancellable cancellable([subscription] { subscription->cancel(); });
    subscription->start();
    return cancellable;
}

platform::Publisher<BaseChange> PrefsPublisher::eraseToAnyPublisher() const
{
    PrefsPublisher publisher = *this;
    return platform::Publisher<BaseChange>([publisher](platform::Publisher<BaseChange>::Receiver receiver) {
        return publisher.sink(std::move(receiver));
    });
}

} // namespace faciward::prefs
