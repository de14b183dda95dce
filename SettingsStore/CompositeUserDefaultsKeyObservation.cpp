#include "CompositeUserDefaultsKeyObservation.h"

#include "SettingsStore/NotificationSuppression.h"

namespace faciward::prefs {

std::shared_ptr<CompositeUserDefaultsKeyObservation>
CompositeUserDefaultsKeyObservation::create(std::vector<SuiteKeyPair> observables, Callback callback)
{
    return std::make_shared<CompositeUserDefaultsKeyObservation>(Passkey{}, std::move(observables),
                                                                 std::move(callback));
}

CompositeUserDefaultsKeyObservation::CompositeUserDefaultsKeyObservation(Passkey, std::vector<SuiteKeyPair> observables,
                                                                         Callback callback)
    : m_callback(std::move(callback))
{
    for (auto &pair : observables)
        m_observables.push_back({std::move(pair), std::nullopt});
}

CompositeUserDefaultsKeyObservation::~CompositeUserDefaultsKeyObservation()
{
    stop();
}

void CompositeUserDefaultsKeyObservation::start(const ObservationOptions &options)
{
    std::vector<std::pair<std::shared_ptr<platform::SettingsStore>, std::string>> targets;
    {
        std::lock_guard lock(m_mutex);
        if (m_started)
            return;
        m_started = true;
        for (const auto &registration : m_observables)
            targets.emplace_back(registration.pair.suite.lock(), registration.pair.key);
    }
    std::weak_ptr<CompositeUserDefaultsKeyObservation> weak =
        std::static_pointer_cast<CompositeUserDefaultsKeyObservation>(shared_from_this());
    const auto bits = keyValueObservingOptions(options);
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const auto &[store, key] = targets[i];
        if (!store)
            continue;
        const auto token = store->addObserver(key, bits, [weak](const BaseChange &change) {
            if (auto observation = weak.lock())
                observation->observeValue(change);
        });
        bool stoppedMeanwhile = false;
        {
            std::lock_guard lock(m_mutex);
            if (m_observables[i].pair.suite.expired())
                stoppedMeanwhile = true;
            else
                m_observables[i].token = token;
        }
        if (stoppedMeanwhile)
            store->removeObserver(token);
    }
}

void CompositeUserDefaultsKeyObservation::stop()
{
    std::vector<std::pair<std::shared_ptr<platform::SettingsStore>, platform::SettingsStore::ObserverToken>> tokens;
    {
        std::lock_guard lock(m_mutex);
        for (auto &registration : m_observables) {
            auto store = registration.pair.suite.lock();
            if (store && registration.token)
                tokens.emplace_back(std::move(store), *registration.token);
            registration.token.reset();
            registration.pair.suite.reset();
        }
    }
    for (const auto &[store, token] : tokens)
        store->removeObserver(token);
    cancelLifetimeAssociation();
}

void CompositeUserDefaultsKeyObservation::observeValue(const BaseChange &change)
{
    if (NotificationSuppression::isActive())
        return;
    if (m_callback)
        m_callback(change);
}

} // namespace faciward::prefs
