#include "CaptureException.h"

#include "Platform/Error/ErrnoText.h"

#include <cerrno>

namespace faciward::platform {

CaptureException::CaptureException(CaptureError error, const std::filesystem::path &path, std::string detail)
    : CaseException<CaptureError>(error, path.empty() ? detail : path.string() + ": " + detail)
    , m_path(path)
    , m_detail(std::move(detail))
{
}

CaptureException CaptureException::fromErrno(int errorNumber, const std::filesystem::path &path)
{
    CaptureError error = CaptureError::openFailed;
    switch (errorNumber) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        error = CaptureError::deviceMissing;
        break;
    case EACCES:
        error = CaptureError::permissionDenied;
        break;
    case EPERM:
        error = CaptureError::permissionRestricted;
        break;
    default:
        break;
    }
    return CaptureException(error, path, errnoText(errorNumber));
}

} // namespace faciward::platform
