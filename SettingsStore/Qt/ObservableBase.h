#pragma once

#include <QObject>

#include <functional>

namespace faciward::prefs {

/// @brief The signals of an observable settings key (Observable<V>), which views
/// connect to. Both are emitted on the main thread, whichever thread changed the
/// key and whichever process (with a SettingsFileWatcher running).
///
/// Changes made on the main thread are signalled at once, within the write;
/// changes made on other threads reach the main thread through its event loop,
/// and never reach an object that has been destroyed meanwhile.
class ObservableBase : public QObject
{
    Q_OBJECT

public:
    ~ObservableBase() override;

Q_SIGNALS:
    /// @brief The key is about to change. Sent by setValue() before it writes, and
    /// again by the store's notice before the write (so twice for such a write).
    /// For a change made on another thread the value may already be new, or not yet.
    void willChange();
    /// @brief The key has changed: reading it now gives the new value.
    void changed();

protected:
    explicit ObservableBase(QObject *parent = nullptr);

    /// @brief A function for any thread that turns a change notice (prior or not)
    /// into willChange() or changed() of this object, on the main thread. It holds
    /// the object weakly.
    std::function<void(bool isPrior)> relay();
};

} // namespace faciward::prefs
