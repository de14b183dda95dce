#pragma once

#include "Platform/Reactive/AnyCancellable.h"
#include "SettingsStore/Key.h"
#include "SettingsStore/Prefs.h"
#include "SettingsStore/Qt/ObservableBase.h"

namespace faciward::prefs {

/// @brief One settings key as an object views observe: its value, and the
/// signals willChange() and changed() on the main thread for every change of it,
/// from any thread.
///
/// Make and destroy it on the main thread. @p key must outlive it (the
/// application's keys live for the whole run). Destroying it ends its observation.
template<PrefsSerializable V>
class Observable final : public ObservableBase
{
public:
    explicit Observable(const Key<V> &key, QObject *parent = nullptr)
        : ObservableBase(parent)
        , m_key(key)
    {
        m_cancellable = Prefs::publisher(key, {ObservationOption::prior})
                            .sink([relay = relay()](const KeyChange<V> &change) { relay(change.isPrior); });
    }

    ~Observable() override { m_cancellable.cancel(); }

    const Key<V> &key() const { return m_key; }

    /// @brief The key's current value: the stored one converted, else the default.
    V value() const { return Prefs::get(m_key); }

    /// @brief Sends willChange(), then writes @p value to the key.
    /// @return false when nothing was stored (see Prefs::set).
    bool setValue(const V &value)
    {
        Q_EMIT willChange();
        return Prefs::set(m_key, value);
    }

private:
    const Key<V> &m_key;
    platform::AnyCancellable m_cancellable;
};

} // namespace faciward::prefs
