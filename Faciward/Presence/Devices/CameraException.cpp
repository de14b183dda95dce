#include "CameraException.h"

namespace faciward::presence {

CameraException::CameraException(CameraError error, std::string underlying)
    : platform::CaseException<CameraError>(error, description(error, underlying))
    , m_underlying(error == CameraError::createCaptureInput ? std::move(underlying) : std::string())
{
}

std::string CameraException::description(CameraError error, const std::string &underlying)
{
    switch (error) {
    case CameraError::createCaptureInput:
        return "Creating capture input for camera: " + underlying;
    case CameraError::cameraUnavailable:
        return "Camera unavailable";
    case CameraError::cannotAddInput:
        return "Cannot add capture input to session";
    case CameraError::cannotAddOutput:
        return "Cannot add video output to session";
    case CameraError::deniedAuthorization:
        return "Camera access denied";
    case CameraError::restrictedAuthorization:
        return "Attempting to access a restricted capture device";
    case CameraError::unknownAuthorization:
        return "Unknown authorization status for capture device";
    }
    return {};
}

} // namespace faciward::presence
