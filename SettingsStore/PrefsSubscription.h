#pragma once

#include "Platform/Settings/SettingsStore.h"
#include "SettingsStore/BaseChange.h"
#include "SettingsStore/ObservationOption.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace faciward::prefs {

class UserDefaultsKeyObservation;

/// @brief What a PrefsPublisher makes for each subscriber: one observation of one
/// key, delivering every record to the subscriber until cancelled.
///
/// The subscription holds its observation; the observation reaches back to the
/// subscription only weakly. Whoever holds the subscription (the subscriber's
/// cancellable) therefore ends both by letting go of it: neither keeps the other
/// alive.
class PrefsSubscription : public std::enable_shared_from_this<PrefsSubscription>
{
    struct Passkey
    {
    };

public:
    using Subscriber = std::function<void(const BaseChange &)>;

    /// @brief A subscription of @p subscriber to @p key of @p suite, not started.
    static std::shared_ptr<PrefsSubscription> create(Subscriber subscriber,
                                                     const std::shared_ptr<platform::SettingsStore> &suite,
                                                     std::string key, ObservationOptions options);

    PrefsSubscription(Passkey, Subscriber subscriber, ObservationOptions options);
    ~PrefsSubscription();
    PrefsSubscription(const PrefsSubscription &) = delete;
    PrefsSubscription &operator=(const PrefsSubscription &) = delete;

    /// @brief Registers the observation with its store, if the store still exists;
    /// with ObservationOption::initial the first record reaches the subscriber
    /// before this returns.
    void start();

    /// @brief Every record is delivered whatever the demand; there is nothing to request.
    void request(std::size_t demand);

    /// @brief Stops and drops the observation, then drops the subscriber; later
    /// changes deliver nothing. Idempotent.
    void cancel();

private:
    void receive(const BaseChange &change);

    std::mutex m_mutex; // guards m_subscriber and m_observation
    // Shared, never copied: every record goes to the one receiver, so one with
    // state (a mutable lambda) keeps it from record to record.
    std::shared_ptr<Subscriber> m_subscriber;
    std::shared_ptr<UserDefaultsKeyObservation> m_observation;
    const ObservationOptions m_options;
};

} // namespace faciward::prefs
