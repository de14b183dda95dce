#include "CameraSetup.h"

#include <algorithm>

namespace faciward::presence {

using platform::CaptureAuthorization;
using platform::CaptureError;

CameraSetup::CameraSetup(platform::Scheduler &main, platform::CaptureBackend &backend, Report report,
                         Configured configured, Frame frame)
    : m_main(main)
    , m_backend(backend)
    , m_report(std::move(report))
    , m_configured(std::move(configured))
{
    m_frames = m_backend.frames().sink([this, frame = std::move(frame)](const cv::Mat &image) {
        frameArrived();
        if (frame)
            frame(image);
    });
    m_failures = m_backend.failures().sink([this](const platform::CaptureException &failure) { failed(failure); });
}

CameraSetup::~CameraSetup() = default;

void CameraSetup::configure()
{
    m_post([this] {
        checkPermissions();
        const bool result = configureCaptureSession();
        if (m_configured)
            m_configured(result);
    });
}

std::optional<platform::CaptureDevice> CameraSetup::choose(const std::vector<platform::CaptureDevice> &devices) const
{
    if (m_selected && std::find(devices.begin(), devices.end(), *m_selected) != devices.end())
        return m_selected;
    if (devices.empty())
        return std::nullopt;
    return devices.front();
}

void CameraSetup::checkPermissions()
{
    const auto device = choose(m_backend.devices());
    if (!device)
        return;
    switch (m_backend.authorization(*device)) {
    case CaptureAuthorization::authorized:
        return;
    case CaptureAuthorization::denied:
        report(CameraException(CameraError::deniedAuthorization));
        break;
    case CaptureAuthorization::restricted:
        report(CameraException(CameraError::restrictedAuthorization));
        break;
    case CaptureAuthorization::unknown:
        report(CameraException(CameraError::unknownAuthorization));
        break;
    }
    m_status = CameraStatus::unauthorized;
}

bool CameraSetup::selectAvailable()
{
    const auto device = choose(m_backend.devices());
    if (!device) {
        report(CameraException(CameraError::cameraUnavailable));
        m_status = CameraStatus::failed;
        return false;
    }
    if (m_backend.selected() != device)
        m_backend.select(*device);
    m_selected = device;
    return true;
}

bool CameraSetup::configureCaptureSession()
{
    // An unauthorised camera counts as configured: the set-up has run to its end
    // and the refusal was already reported as an error of its own. False would
    // say that no camera was found, which is not so. Nothing needs configuring
    // again once access is granted: start() looks for the device afresh after a
    // refusal.
    if (m_status != CameraStatus::unconfigured)
        return true;
    if (!selectAvailable())
        return false;
    m_status = CameraStatus::configured;
    return true;
}

void CameraSetup::start()
{
    const auto status = m_status.load();
    // A fresh look after a failure: the camera may have been plugged in, or
    // another chosen by the system.
    if ((!m_selected || status == CameraStatus::failed || status == CameraStatus::unauthorized) &&
        !selectAvailable())
        return;
    m_backend.start();
}

void CameraSetup::stop()
{
    m_backend.stop();
}

bool CameraSetup::select(const platform::CaptureDevice &device)
{
    const auto devices = m_backend.devices();
    if (std::find(devices.begin(), devices.end(), device) == devices.end())
        return false;
    m_backend.select(device);
    m_selected = device;
    m_lastReported.reset();
    m_status = CameraStatus::configured;
    return true;
}

void CameraSetup::frameArrived()
{
    m_lastReported.reset();
    m_status = CameraStatus::configured;
}

void CameraSetup::failed(const platform::CaptureException &failure)
{
    // The description of some cases is fixed ("Camera unavailable"): the
    // failure beneath, with its path, says which camera and why.
    const CameraException plain = cameraError(failure);
    const CameraException error = plain.withCause(plain.underlying().empty() ? failure.what() : failure.path().string());
    report(error);
    switch (error.error()) {
    case CameraError::deniedAuthorization:
    case CameraError::restrictedAuthorization:
    case CameraError::unknownAuthorization:
        m_status = CameraStatus::unauthorized;
        break;
    default:
        m_status = CameraStatus::failed;
        break;
    }
}

CameraException CameraSetup::cameraError(const platform::CaptureException &failure)
{
    switch (failure.error()) {
    case CaptureError::deviceMissing:
        return CameraException(CameraError::cameraUnavailable);
    case CaptureError::permissionDenied:
        return CameraException(CameraError::deniedAuthorization);
    case CaptureError::permissionRestricted:
        return CameraException(CameraError::restrictedAuthorization);
    case CaptureError::openFailed:
    case CaptureError::deviceLost:
        return CameraException(CameraError::createCaptureInput, failure.detail());
    case CaptureError::unsupportedDevice:
        return CameraException(CameraError::cannotAddInput);
    case CaptureError::noFrames:
        return CameraException(CameraError::cannotAddOutput);
    }
    return CameraException(CameraError::createCaptureInput, failure.detail());
}

void CameraSetup::report(const CameraException &error)
{
    // start() runs for every check, so a camera that stays unplugged or busy
    // fails again on each one. Reported every time, the same error would flood
    // the error subject (and the runner's standard error) at the check rate;
    // a frame or a different error in between makes the next one news again.
    if (m_lastReported == error)
        return;
    m_lastReported = error;
    m_report(error);
}

} // namespace faciward::presence
