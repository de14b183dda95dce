#pragma once

#include "CameraError.h"
#include "Platform/Error/CaseException.h"

#include <string>

namespace faciward::presence {

/// @brief A `CameraError` with its description text as `what()`.
///
/// The camera managers publish these on their error subjects rather than
/// throwing them; two are equal when case and underlying text are equal.
class CameraException : public platform::CaseException<CameraError>
{
public:
    /// @param underlying the underlying failure's text; used by `createCaptureInput` only.
    explicit CameraException(CameraError error, std::string underlying = {});

    const std::string &underlying() const { return m_underlying; }

    /// @brief The description text: "Creating capture input for camera: " followed
    /// by the underlying text, "Camera unavailable", "Cannot add capture input to
    /// session", "Cannot add video output to session", "Camera access denied",
    /// "Attempting to access a restricted capture device" or "Unknown
    /// authorization status for capture device".
    static std::string description(CameraError error, const std::string &underlying = {});

    friend bool operator==(const CameraException &a, const CameraException &b)
    {
        return a.error() == b.error() && a.m_underlying == b.m_underlying;
    }

private:
    std::string m_underlying;
};

} // namespace faciward::presence
