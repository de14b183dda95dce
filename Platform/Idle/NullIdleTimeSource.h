#pragma once

#include "IdleTimeSource.h"

namespace faciward::platform {

/// @brief The source used when no other answers: the idle time is always unknown.
class NullIdleTimeSource final : public IdleTimeSource
{
public:
    std::string name() const override;
    /// @brief Always true: this source can always say that it does not know.
    bool isAvailable() override;
    /// @brief Always nullopt.
    std::optional<Seconds> idleTime() override;
};

} // namespace faciward::platform
