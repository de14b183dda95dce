#include "CameraManagerCombine.h"

namespace faciward::presence {

CameraManagerCombine::CameraManagerCombine(platform::Scheduler &main, platform::CaptureBackend &backend)
    : m_backend(backend)
    , m_setup(
          main, backend, [this](const CameraException &error) { m_cameraErrorSubject.send(error); },
          [this](bool configured) { m_isConfiguredSubject.send(configured); },
          [this](const cv::Mat &frame) {
              // One picture for both subjects: the bitmap form first, as receivers expect.
              m_cameraFrameCGImageSubject.send(frame);
              m_cameraFrameSubject.send(frame);
          })
{
    configure();
}

CameraManagerCombine::~CameraManagerCombine() = default;

void CameraManagerCombine::configure()
{
    m_setup.configure();
}

void CameraManagerCombine::startRunning()
{
    m_setup.start();
}

void CameraManagerCombine::stopRunning()
{
    m_setup.stop();
}

bool CameraManagerCombine::isRunning() const
{
    return m_backend.isRunning();
}

void CameraManagerCombine::selectCamera(const platform::CaptureDevice &device)
{
    m_setup.select(device);
}

std::vector<platform::CaptureDevice> CameraManagerCombine::availableCameras() const
{
    return m_backend.devices();
}

std::optional<platform::CaptureDevice> CameraManagerCombine::selectedDevice() const
{
    return m_setup.selectedDevice();
}

CameraManagerCombine::Status CameraManagerCombine::status() const
{
    return m_setup.status();
}

} // namespace faciward::presence
