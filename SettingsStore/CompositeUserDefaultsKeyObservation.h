#pragma once

#include "Platform/Settings/SettingsStore.h"
#include "SettingsStore/BaseChange.h"
#include "SettingsStore/ObservationOption.h"
#include "SettingsStore/PrefsObservation.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace faciward::prefs {

/// @brief The observation of several keys, possibly of several stores, calling
/// one callback for each record of any of them; which key changed is not told.
/// Made by Prefs::observe(keys, …).
class CompositeUserDefaultsKeyObservation final : public PrefsObservation
{
    struct Passkey
    {
    };

public:
    using Callback = std::function<void(const BaseChange &)>;

    /// @brief One observed key: its store (held weakly) and its name.
    struct SuiteKeyPair
    {
        std::weak_ptr<platform::SettingsStore> suite;
        std::string key;
    };

    static std::shared_ptr<CompositeUserDefaultsKeyObservation> create(std::vector<SuiteKeyPair> observables,
                                                                       Callback callback);

    CompositeUserDefaultsKeyObservation(Passkey, std::vector<SuiteKeyPair> observables, Callback callback);
    ~CompositeUserDefaultsKeyObservation() override;

    /// @brief Registers with each pair's store that still exists, in list order.
    void start(const ObservationOptions &options);

    void stop() override;

private:
    struct Registration
    {
        SuiteKeyPair pair;
        std::optional<platform::SettingsStore::ObserverToken> token;
    };

    void observeValue(const BaseChange &change);

    std::mutex m_mutex; // guards m_observables and m_started
    std::vector<Registration> m_observables;
    const Callback m_callback;
    bool m_started = false;
};

} // namespace faciward::prefs
