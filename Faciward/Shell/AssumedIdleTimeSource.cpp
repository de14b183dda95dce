#include "AssumedIdleTimeSource.h"

namespace faciward::shell {

AssumedIdleTimeSource::AssumedIdleTimeSource(const platform::Scheduler &clock)
    : m_clock(clock)
    , m_since(clock.now())
{
}

std::string AssumedIdleTimeSource::name() const
{
    return "input devices assumed idle";
}

bool AssumedIdleTimeSource::isAvailable()
{
    return true;
}

std::optional<platform::IdleTimeSource::Seconds> AssumedIdleTimeSource::idleTime()
{
    return std::chrono::duration_cast<Seconds>(m_clock.now() - m_since);
}

} // namespace faciward::shell
