#include "NullIdleTimeSource.h"

namespace faciward::platform {

std::string NullIdleTimeSource::name() const
{
    return "none";
}

bool NullIdleTimeSource::isAvailable()
{
    return true;
}

std::optional<IdleTimeSource::Seconds> NullIdleTimeSource::idleTime()
{
    return std::nullopt;
}

} // namespace faciward::platform
