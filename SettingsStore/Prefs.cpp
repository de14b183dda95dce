#include "Prefs.h"

#include "SettingsStore/CompositeUserDefaultsKeyObservation.h"

namespace faciward::prefs {

void Prefs::reset(const std::vector<std::reference_wrapper<const AnyKey>> &keys)
{
    for (const AnyKey &key : keys)
        key.reset();
}

void Prefs::reset(const std::vector<std::string> &names, platform::SettingsStore &suite)
{
    for (const auto &name : names)
        suite.removeObject(name);
}

void Prefs::removeAll(platform::SettingsStore &suite)
{
    // Take the names first: removing changes the representation.
    std::vector<std::string> names;
    for (const auto &entry : suite.dictionaryRepresentation())
        names.push_back(entry.first);
    for (const auto &name : names)
        suite.removeObject(name);
}

std::shared_ptr<PrefsObservation> Prefs::observe(const std::vector<std::reference_wrapper<const AnyKey>> &keys,
                                                 const ObservationOptions &options, std::function<void()> handler)
{
    std::vector<CompositeUserDefaultsKeyObservation::SuiteKeyPair> pairs;
    for (const AnyKey &key : keys)
        pairs.push_back({key.suite(), key.name()});
    auto observation = CompositeUserDefaultsKeyObservation::create(
        std::move(pairs), [handler = std::move(handler)](const BaseChange &) {
            if (handler)
                handler();
        });
    observation->start(options);
    return observation;
}

platform::Publisher<platform::Void> Prefs::publisher(const std::vector<std::reference_wrapper<const AnyKey>> &keys,
                                                     const ObservationOptions &options)
{
    if (keys.empty())
        return platform::Publisher<platform::Void>(
            [](platform::Publisher<platform::Void>::Receiver) { return platform::AnyCancellable(); });
    std::vector<platform::Publisher<platform::Void>> members;
    for (const AnyKey &key : keys)
        members.push_back(PrefsPublisher(key.suite(), key.name(), options)
                              .eraseToAnyPublisher()
                              .map([](const BaseChange &) { return platform::Void{}; }));
    // Merged: one subscription per key, in list order, all ended together. They
    // share the one receiver, so one with state sees every key's elements.
    return platform::Publisher<platform::Void>([members](platform::Publisher<platform::Void>::Receiver receiver) {
        auto shared = std::make_shared<platform::Publisher<platform::Void>::Receiver>(std::move(receiver));
        auto subscriptions = std::make_shared<platform::CancellableSet>();
        for (const auto &member : members)
            subscriptions->push_back(member.sink([shared](const platform::Void &value) { (*shared)(value); }));
        return platform::AnyCancellable([subscriptions] {
            for (auto &subscription : *subscriptions)
                subscription.cancel();
        });
    });
}

} // namespace faciward::prefs
