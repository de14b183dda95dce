#include "CameraManager.h"

namespace faciward::presence {

CameraManager::CameraManager(platform::Scheduler &main, platform::CaptureBackend &backend)
    : m_main(main)
    , m_backend(backend)
    , m_setup(
          main, backend, [this](const CameraException &error) { setError(error); },
          [this](bool configured) { m_isConfiguredSubject.send(configured); })
{
    configure();
}

CameraManager::~CameraManager() = default;

void CameraManager::configure()
{
    m_setup.configure();
}

void CameraManager::start()
{
    m_setup.start();
}

void CameraManager::stop()
{
    m_setup.stop();
}

bool CameraManager::isRunning() const
{
    return m_backend.isRunning();
}

void CameraManager::setError(const CameraException &error)
{
    m_post([this, error] { m_error.send(error); });
}

CameraManager::Status CameraManager::status() const
{
    return m_setup.status();
}

platform::Publisher<cv::Mat> CameraManager::frames() const
{
    return m_backend.frames();
}

} // namespace faciward::presence
