#pragma once

namespace faciward::presence {

/// @brief Why the camera could not be set up or used. The texts are those of
/// `CameraException::description`.
enum class CameraError {
    /// The device could not be opened (busy, I/O error), or stopped delivering; carries the system's text.
    createCaptureInput,
    /// There is no camera, or the chosen one is gone.
    cameraUnavailable,
    /// The device opened but cannot capture video.
    cannotAddInput,
    /// The device opened but gave no frame.
    cannotAddOutput,
    /// This user may not open the camera.
    deniedAuthorization,
    /// A security policy forbids opening the camera.
    restrictedAuthorization,
    /// Whether the camera may be opened could not be told.
    unknownAuthorization,
};

} // namespace faciward::presence
