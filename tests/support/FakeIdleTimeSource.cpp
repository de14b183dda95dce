#include "FakeIdleTimeSource.h"

namespace faciward::testing {

FakeIdleTimeSource::FakeIdleTimeSource(std::optional<Seconds> idle)
    : m_idle(idle)
{
}

void FakeIdleTimeSource::setIdleTime(std::optional<Seconds> idle)
{
    m_clock = nullptr;
    m_idle = idle;
}

void FakeIdleTimeSource::followClock(const platform::Scheduler &clock)
{
    m_clock = &clock;
    m_lastInput = clock.now();
}

void FakeIdleTimeSource::input()
{
    if (m_clock)
        m_lastInput = m_clock->now();
}

std::optional<platform::IdleTimeSource::Seconds> FakeIdleTimeSource::idleTime()
{
    ++m_queries;
    if (m_clock)
        return std::chrono::duration_cast<Seconds>(m_clock->now() - m_lastInput);
    return m_idle;
}

} // namespace faciward::testing
