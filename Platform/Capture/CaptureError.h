#pragma once

namespace faciward::platform {

/// @brief Why frames could not be captured from a device, as Linux can tell it.
enum class CaptureError {
    /// Nothing at the device's path: never there, unplugged, or the file was removed (ENOENT, ENODEV, ENXIO).
    deviceMissing,
    /// The node exists but this user may not open it (EACCES).
    permissionDenied,
    /// A security policy forbids opening the node whatever its permissions say (EPERM).
    permissionRestricted,
    /// The node exists but opening it failed for another reason: busy, I/O error, ….
    openFailed,
    /// The node opened, but it is nothing frames can be captured from.
    unsupportedDevice,
    /// The source opened, but not a single frame could be read from it.
    noFrames,
    /// The source stopped delivering frames while capturing.
    deviceLost,
};

} // namespace faciward::platform
