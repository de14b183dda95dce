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

namespace faciward::prefs {

/// @brief The observation of one key of one store, handing each raw change record
/// to a callback on the thread that changed the store.
///
/// Holds its store weakly: once the store is gone there is nothing to observe.
/// Records arriving on a thread that suppresses notices (NotificationSuppression)
/// are dropped.
class UserDefaultsKeyObservation final : public PrefsObservation
{
    struct Passkey
    {
    };

public:
    using Callback = std::function<void(const BaseChange &)>;

    /// @brief An observation of @p key in @p suite that is not registered yet.
    static std::shared_ptr<UserDefaultsKeyObservation> create(const std::shared_ptr<platform::SettingsStore> &suite,
                                                              std::string key, Callback callback);

    UserDefaultsKeyObservation(Passkey, const std::shared_ptr<platform::SettingsStore> &suite, std::string key,
                               Callback callback);
    ~UserDefaultsKeyObservation() override;

    /// @brief Registers with the store, if it still exists, with the store options
    /// @p options map to; with ObservationOption::initial the first record is
    /// delivered before this returns. Starting twice does nothing more.
    void start(const ObservationOptions &options);

    void stop() override;

    /// @brief The key's name.
    const std::string &key() const { return m_key; }

    /// @brief The store, while it exists and the observation has not stopped.
    std::shared_ptr<platform::SettingsStore> suite() const;

private:
    void observeValue(const BaseChange &change);

    mutable std::mutex m_mutex; // guards m_object and m_token
    std::weak_ptr<platform::SettingsStore> m_object;
    const std::string m_key;
    const Callback m_callback;
    std::optional<platform::SettingsStore::ObserverToken> m_token;
    bool m_started = false;
};

} // namespace faciward::prefs
