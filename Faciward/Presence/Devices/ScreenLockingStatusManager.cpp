#include "ScreenLockingStatusManager.h"

namespace faciward::presence {

ScreenLockingStatusManager::ScreenLockingStatusManager(platform::ScreenLockSignals &signals)
    : m_locked(signals.initialActive())
    , m_subscription(signals.activeChanged().sink([this](const bool &locked) {
        if (m_locked == locked)
            return;
        m_locked = locked;
        if (locked)
            m_screenLockedSubject.send({});
        else
            m_screenUnlockedSubject.send({});
    }))
{
}

} // namespace faciward::presence
