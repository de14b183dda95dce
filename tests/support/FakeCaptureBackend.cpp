#include "FakeCaptureBackend.h"

namespace faciward::testing {

using platform::CaptureDevice;
using platform::CaptureException;

FakeCaptureBackend::FakeCaptureBackend(platform::Scheduler &main)
    : m_main(main)
    , m_devices{{CaptureDevice::Kind::camera, "/dev/video0", "Fake Camera"}}
{
}

FakeCaptureBackend::~FakeCaptureBackend() = default;

void FakeCaptureBackend::setDevices(std::vector<CaptureDevice> devices)
{
    m_devices = std::move(devices);
}

void FakeCaptureBackend::setAuthorization(platform::CaptureAuthorization authorization)
{
    m_authorization = authorization;
}

void FakeCaptureBackend::failStarts(std::optional<platform::CaptureError> error, std::string detail)
{
    m_failStarts = error;
    m_failDetail = std::move(detail);
}

void FakeCaptureBackend::produceFrames(platform::Scheduler::Duration interval, std::function<cv::Mat(int)> make)
{
    m_interval = interval;
    m_make = make ? std::move(make) : [](int n) { return frame(n); };
    if (m_running)
        armProduction();
}

cv::Mat FakeCaptureBackend::frame(int n, cv::Size size)
{
    return cv::Mat(size, CV_8UC3, frameColour(n));
}

cv::Scalar FakeCaptureBackend::frameColour(int n)
{
    return cv::Scalar(n % 256, n / 256 % 256, 77);
}

int FakeCaptureBackend::frameNumber(const cv::Mat &frame)
{
    const auto px = frame.at<cv::Vec3b>(0, 0);
    return px[0] + 256 * px[1];
}

bool FakeCaptureBackend::deliver(const cv::Mat &frame)
{
    if (!m_running || m_failing)
        return false;
    m_frames.send(frame);
    return true;
}

void FakeCaptureBackend::loseDevice(std::string detail)
{
    if (!m_running)
        return;
    m_running = false;
    ++m_run;
    m_production.cancel();
    postFailure(CaptureException(platform::CaptureError::deviceLost,
                                 m_selected ? m_selected->path : std::filesystem::path{}, std::move(detail)),
                false);
}

std::vector<CaptureDevice> FakeCaptureBackend::devices() const
{
    return m_devices;
}

platform::CaptureAuthorization FakeCaptureBackend::authorization(const CaptureDevice &) const
{
    return m_authorization;
}

void FakeCaptureBackend::select(const CaptureDevice &device)
{
    m_selected = device;
    m_selections.push_back(device);
}

std::optional<CaptureDevice> FakeCaptureBackend::selected() const
{
    return m_selected;
}

void FakeCaptureBackend::start()
{
    ++m_startCalls;
    if (m_running)
        return;
    if (!m_selected && !m_devices.empty())
        m_selected = m_devices.front();
    m_running = true;
    ++m_run;
    if (!m_selected || m_devices.empty()) {
        m_failing = true;
        postFailure(CaptureException(platform::CaptureError::deviceMissing, {}, "no camera found"), true);
        return;
    }
    if (m_failStarts) {
        m_failing = true;
        postFailure(CaptureException(*m_failStarts, m_selected->path, m_failDetail), true);
        return;
    }
    m_failing = false;
    ++m_runs;
    if (m_interval)
        armProduction();
}

void FakeCaptureBackend::stop()
{
    ++m_stopCalls;
    m_running = false;
    m_failing = false;
    ++m_run;
    m_production.cancel();
}

bool FakeCaptureBackend::isRunning() const
{
    return m_running;
}

platform::Publisher<cv::Mat> FakeCaptureBackend::frames() const
{
    return m_frames.publisher();
}

platform::Publisher<CaptureException> FakeCaptureBackend::failures() const
{
    return m_failures.publisher();
}

void FakeCaptureBackend::postFailure(CaptureException failure, bool endsRun)
{
    std::weak_ptr<int> alive = m_alive;
    m_main.post([this, alive, failure, endsRun, run = m_run] {
        if (alive.expired())
            return;
        if (endsRun && run == m_run) {
            m_running = false;
            m_failing = false;
        }
        m_failures.send(failure);
    });
}

void FakeCaptureBackend::armProduction()
{
    m_production = m_main.repeatEvery(*m_interval, [this] {
        if (m_running && !m_failing)
            m_frames.send(m_make(m_produced++));
    });
}

} // namespace faciward::testing
