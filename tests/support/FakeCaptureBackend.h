#pragma once

#include "Platform/Capture/CaptureBackend.h"
#include "Platform/Reactive/PassthroughSubject.h"
#include "Platform/Reactive/Scheduler.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace faciward::testing {

/// @brief A camera for tests, driven from the test's thread (the scheduler's).
///
/// Like the real one, a failed start is reported later, through the scheduler:
/// `isRunning()` is true from `start()` until the failure is delivered, and no
/// frame comes in between. Frames are sent only while running. Frames come from
/// `deliver()`, or every `interval` of (virtual) time after `produceFrames()`.
/// It offers one camera, "/dev/video0" named "Fake Camera", until told otherwise.
class FakeCaptureBackend final : public platform::CaptureBackend
{
public:
    explicit FakeCaptureBackend(platform::Scheduler &main);
    ~FakeCaptureBackend() override;

    // --- what the fake camera does ---------------------------------------
    void setDevices(std::vector<platform::CaptureDevice> devices);
    /// @brief The answer of `authorization()` for every device.
    void setAuthorization(platform::CaptureAuthorization authorization);
    /// @brief Every start fails with @p error (until called with nullopt) instead of running.
    void failStarts(std::optional<platform::CaptureError> error, std::string detail = "Device or resource busy");
    /// @brief While running, sends a frame every @p interval of scheduler time, the first one
    /// @p interval after the start; @p make makes frame n (n counts from 0 over the fake's life).
    /// Without @p make, frame n is `frame(n)`.
    void produceFrames(platform::Scheduler::Duration interval, std::function<cv::Mat(int)> make = {});

    // --- driving it --------------------------------------------------------
    /// @brief Sends @p frame now if running; returns whether it was sent.
    bool deliver(const cv::Mat &frame);
    /// @brief The running device goes away: the failure is posted and the run ends.
    void loseDevice(std::string detail = "No such device");

    // --- looking at it -----------------------------------------------------
    int startCalls() const { return m_startCalls; }
    int stopCalls() const { return m_stopCalls; }
    /// @brief Runs that really started (not counting repeated starts or failed ones).
    int runs() const { return m_runs; }
    const std::vector<platform::CaptureDevice> &selections() const { return m_selections; }
    /// @brief The colour of the produced frame @p n: (n % 256, n / 256 % 256, 77) in BGR.
    static cv::Scalar frameColour(int n);
    /// @brief Frame @p n: a picture of @p size filled with `frameColour(n)`.
    static cv::Mat frame(int n, cv::Size size = cv::Size(640, 480));
    /// @brief The number n of a frame filled with `frameColour(n)`.
    static int frameNumber(const cv::Mat &frame);

    // --- CaptureBackend ----------------------------------------------------
    std::vector<platform::CaptureDevice> devices() const override;
    platform::CaptureAuthorization authorization(const platform::CaptureDevice &device) const override;
    void select(const platform::CaptureDevice &device) override;
    std::optional<platform::CaptureDevice> selected() const override;
    void start() override;
    void stop() override;
    bool isRunning() const override;
    platform::Publisher<cv::Mat> frames() const override;
    platform::Publisher<platform::CaptureException> failures() const override;

private:
    void postFailure(platform::CaptureException failure, bool endsRun);
    void armProduction();

    platform::Scheduler &m_main;
    std::vector<platform::CaptureDevice> m_devices;
    platform::CaptureAuthorization m_authorization = platform::CaptureAuthorization::authorized;
    std::optional<platform::CaptureError> m_failStarts;
    std::string m_failDetail;
    std::optional<platform::Scheduler::Duration> m_interval;
    std::function<cv::Mat(int)> m_make;
    int m_produced = 0;
    std::optional<platform::CaptureDevice> m_selected;
    bool m_running = false;
    // The current run is one whose start failed; its failure is on its way.
    bool m_failing = false;
    // Counts starts and stops, so that a late failure ends only its own run.
    std::uint64_t m_run = 0;
    int m_startCalls = 0;
    int m_stopCalls = 0;
    int m_runs = 0;
    std::vector<platform::CaptureDevice> m_selections;
    platform::PassthroughSubject<cv::Mat> m_frames;
    platform::PassthroughSubject<platform::CaptureException> m_failures;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
    platform::AnyCancellable m_production;
};

} // namespace faciward::testing
