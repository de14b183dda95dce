#pragma once

namespace faciward::platform {

/// @brief Whether this process may open a capture device, as far as the file
/// system's permissions tell before trying.
enum class CaptureAuthorization {
    authorized,
    /// The permissions refuse this user (EACCES).
    denied,
    /// A security policy refuses the access (EPERM).
    restricted,
    /// The check itself failed for another reason.
    unknown,
};

} // namespace faciward::platform
