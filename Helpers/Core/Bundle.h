#pragma once

#include <QString>

#include <optional>

#ifndef FACIWARD_BETA_BUILD
#error "FACIWARD_BETA_BUILD comes with faciward::HelpersCore: link it to use Bundle.h"
#endif

namespace faciward::helpers {

/// @brief What the application says about itself: its name, its version for
/// people ("1.2") and its build number ("34"), each of which may be absent;
/// and whether it was built for beta testers.
struct Bundle
{
    std::optional<QString> name;
    std::optional<QString> shortVersion;
    std::optional<QString> version;

    /// @brief The values this program was built with: the project's name and
    /// version, and the build number given to CMake as FACIWARD_BUILD_NUMBER
    /// (absent when none was given).
    static Bundle main();

    /// @brief True in builds for beta testers, which offer the hidden debug
    /// menu. A build option (FACIWARD_BETA_BUILD), because a Linux binary
    /// carries no distribution signature that could tell a beta build at run
    /// time.
    static constexpr bool isTestFlight = FACIWARD_BETA_BUILD != 0;
};

} // namespace faciward::helpers
