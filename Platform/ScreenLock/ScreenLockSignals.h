#pragma once

#include "Platform/Reactive/Publisher.h"

#include <optional>

namespace faciward::platform {

/// @brief The desktop's reports that its screen saver became active or
/// inactive, which is how a locked and an unlocked screen are announced.
class ScreenLockSignals
{
public:
    virtual ~ScreenLockSignals() = default;

    /// @brief Every report, on the main thread: true when the screen was locked
    /// (or the screen saver started), false when it was unlocked. Repeats are
    /// passed on as they come; several desktop services may report one change.
    virtual platform::Publisher<bool> activeChanged() const = 0;

    /// @brief The state the desktop reported when asked as the object was made:
    /// true when the screen was locked, false when not, none when nobody answered.
    virtual std::optional<bool> initialActive() const = 0;
};

} // namespace faciward::platform
