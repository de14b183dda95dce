#pragma once

#include "Platform/Reactive/PassthroughSubject.h"
#include "Platform/ScreenLock/ScreenLockSignals.h"

#include <optional>

namespace faciward::presence {

/// @brief Turns the desktop's screen-lock reports into two signals, on the
/// main thread, one per real change.
///
/// The watcher starts in the state the desktop gave when asked at start. A
/// report that repeats the current state sends nothing: the desktop may
/// announce one lock on several interfaces, and the engine must not react to it
/// twice. While the state is unknown (nobody answered), every report is passed
/// on, so that an unlock is never lost. Made with the signals it listens to; it
/// cannot be stopped.
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

    /// @brief True while the screen is known to be locked.
    bool isScreenLocked() const { return m_locked.value_or(false); }

private:
    platform::PassthroughSubject<platform::Void> m_screenUnlockedSubject;
    platform::PassthroughSubject<platform::Void> m_screenLockedSubject;
    std::optional<bool> m_locked;
    platform::AnyCancellable m_subscription;
};

} // namespace faciward::presence
