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

    /// @brief The failure of the device beneath, with its path, e.g.
    /// "/dev/video4: No such file or directory"; empty when there was none.
    /// What a person needs beyond the fixed description; not part of equality.
    const std::string &cause() const { return m_cause; }
    CameraException withCause(std::string cause) const
    {
        CameraException copy = *this;
        copy.m_cause = std::move(cause);
        return copy;
    }

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
    std::string m_cause;
};

} // namespace faciward::presence
