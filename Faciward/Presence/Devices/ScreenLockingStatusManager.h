#pragma once

#include "Platform/Reactive/PassthroughSubject.h"
#include "Platform/ScreenLock/ScreenLockSignals.h"

namespace faciward::presence {

/// @brief Turns the desktop's screen-lock reports into two signals, on the
/// main thread, one per real change.
///
/// The screen is taken to be unlocked when the watcher is made. A report that
/// repeats the current state sends nothing: the desktop may announce one lock
/// on several interfaces, and the engine must not react to it twice. Made with
/// the signals it listens to; it cannot be stopped.
class ScreenLockingStatusManager
{
public:
    explicit ScreenLockingStatusManager(platform::ScreenLockSignals &signals);
    ScreenLockingStatusManager(const ScreenLockingStatusManager &) = delete;
    ScreenLockingStatusManager &operator=(const ScreenLockingStatusManager &) = delete;

    /// @brief Fires when the screen goes from unlocked to locked.
    const platform::PassthroughSubject<platform::Void> &screenLockedSubject() const { return m_screenLockedSubject; }
    /// @brief Fires when the screen goes from locked to unlocked.
    const platform::PassthroughSubject<platform::Void> &screenUnlockedSubject() const
    {
        return m_screenUnlockedSubject;
    }

private:
    platform::PassthroughSubject<platform::Void> m_screenUnlockedSubject;
    platform::PassthroughSubject<platform::Void> m_screenLockedSubject;
    bool m_locked = false;
    platform::AnyCancellable m_subscription;
};

} // namespace faciward::presence
