#pragma once

#include <QString>

#include <optional>

namespace faciward::helpers {

/// @brief What the application says about itself: its name, its version for
/// people ("1.2") and its build number ("34"). Each may be absent.
struct BundleInfo
{
    std::optional<QString> name;
    std::optional<QString> shortVersion;
    std::optional<QString> version;

    /// @brief The values this program was built with: the project's name and
    /// version, and the build number given to CMake as FACIWARD_BUILD_NUMBER
    /// (absent when none was given).
    static BundleInfo main();
};

} // namespace faciward::helpers
