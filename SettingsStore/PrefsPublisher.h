#pragma once

#include "Platform/Reactive/Publisher.h"
#include "Platform/Settings/SettingsStore.h"
#include "SettingsStore/BaseChange.h"
#include "SettingsStore/ObservationOption.h"

#include <memory>
#include <string>

namespace faciward::prefs {

/// @brief The raw change records of one key of one store, as a publisher: every
/// subscriber gets a subscription and an observation of its own (PrefsSubscription).
/// Never fails, never completes; records arrive on the thread that changed the store.
class PrefsPublisher
{
public:
    PrefsPublisher(std::shared_ptr<platform::SettingsStore> suite, std::string key, ObservationOptions options);

    /// @brief Subscribes @p receiver: it is in place before the observation starts,
    /// so it gets the initial record too. Delivers until the result is cancelled or
    /// destroyed.
    [[nodiscard]] platform::AnyCancellable sink(platform::Publisher<BaseChange>::Receiver receiver) const;

    /// @brief The same, as a type-erased publisher (for map, receiveOn, …).
    platform::Publisher<BaseChange> eraseToAnyPublisher() const;

    const std::shared_ptr<platform::SettingsStore> &suite() const { return m_suite; }
    const std::string &key() const { return m_key; }
    const ObservationOptions &options() const { return m_options; }

private:
    std::shared_ptr<platform::SettingsStore> m_suite;
    std::string m_key;
    ObservationOptions m_options;
};

} // namespace faciward::prefs
