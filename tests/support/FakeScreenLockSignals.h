#pragma once

#include "Platform/Reactive/PassthroughSubject.h"
#include "Platform/ScreenLock/ScreenLockSignals.h"

namespace faciward::testing {

/// @brief Screen-lock reports sent by the test, synchronously on its thread.
class FakeScreenLockSignals final : public platform::ScreenLockSignals
{
public:
    /// @brief Reports that the screen saver became active (true: locked) or inactive.
    void sendActiveChanged(bool active) const { m_subject.send(active); }
    void lock() const { sendActiveChanged(true); }
    void unlock() const { sendActiveChanged(false); }

    std::size_t subscriberCount() const { return m_subject.subscriberCount(); }

    platform::Publisher<bool> activeChanged() const override { return m_subject.publisher(); }
    std::optional<bool> initialActive() const override { return initial; }

    /// @brief What initialActive() answers: unknown unless set.
    std::optional<bool> initial;

private:
    platform::PassthroughSubject<bool> m_subject;
};

} // namespace faciward::testing
