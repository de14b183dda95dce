#pragma once

#include "Platform/Reactive/Publisher.h"
#include "SettingsStore/Key.h"
#include "SettingsStore/KeyChange.h"
#include "SettingsStore/Prefs.h"
#include "SettingsStore/Qt/Binding.h"
#include "SettingsStore/Qt/Observable.h"

#include <QPointer>

#include <concepts>
#include <memory>

namespace faciward::prefs {

/// @brief A view's handle on one settings key: its value, a binding for
/// controls, a publisher of its changes, a reset, and the observable object whose
/// signals tell the view to refresh.
///
/// Belongs to the main thread, like the view that holds it. @p key must outlive it.
template<PrefsSerializable V>
class Pref
{
public:
    explicit Pref(const Key<V> &key)
        : m_key(key)
        , m_observable(std::make_unique<Observable<V>>(key))
    {
    }

    /// @brief The key's current value.
    V value() const { return m_observable->value(); }

    /// @brief Sends willChange(), then writes @p value. @return false when nothing was stored.
    bool setValue(const V &value) const { return m_observable->setValue(value); }

    /// @brief A binding to the key: reading reads it; writing sends willChange()
    /// and writes it (after the handle is gone, writing just writes).
    Binding<V> binding() const
    {
        const Key<V> *key = &m_key;
        QPointer<Observable<V>> observable(m_observable.get());
        return Binding<V>([key] { return Prefs::get(*key); },
                          [key, observable](const V &value) {
                              if (observable)
                                  return observable->setValue(value);
                              return Prefs::set(*key, value);
                          });
    }

    /// @brief The key's changes, starting with a record of its current value.
    platform::Publisher<KeyChange<V>> publisher() const
    {
        return Prefs::publisher(m_key, {ObservationOption::initial});
    }

    /// @brief Removes the key's entry; reads then give the default.
    /// @return false when the removal could not be persisted.
    bool reset() const { return m_key.reset(); }

    /// @brief True when the key's current value equals its default.
    bool isDefaultValue() const
        requires std::equality_comparable<V>
    {
        return value() == m_key.defaultValue();
    }

    const Key<V> &key() const { return m_key; }

    /// @brief The object whose willChange() and changed() signals a view connects to.
    Observable<V> &observable() const { return *m_observable; }

private:
    const Key<V> &m_key;
    std::unique_ptr<Observable<V>> m_observable;
};

} // namespace faciward::prefs
