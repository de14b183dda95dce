#pragma once

namespace faciward::presence {

/// @brief The set-up state of a camera manager.
enum class CameraStatus {
    unconfigured,
    configured,
    unauthorized,
    failed,
};

} // namespace faciward::presence
