#pragma once

#include "CameraException.h"
#include "CameraStatus.h"
#include "Platform/Capture/CaptureBackend.h"
#include "Platform/Reactive/OwnedPost.h"
#include "Platform/Reactive/Scheduler.h"

#include <opencv2/core/mat.hpp>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace faciward::presence {

/// @brief What the engine's camera and face enrolment's camera do alike: check
/// the permission, choose the device, start, and turn capture failures into
/// `CameraError`s and a status.
///
/// A failure is not final: the next `start()` looks for a device again and
/// opens it afresh, so an unplugged and replugged or a briefly busy camera
/// works again. Each failure is reported once while it lasts; the same error
/// is reported again only after a frame arrived or another error came between.
/// Everything but `status()` belongs to the main thread.
class CameraSetup
{
public:
    /// @brief Receives each error to publish.
    using Report = std::function<void(const CameraException &)>;
    /// @brief Receives the result of each configuration.
    using Configured = std::function<void(bool)>;
    /// @brief Receives each frame of the back-end, on the main scheduler.
    using Frame = std::function<void(const cv::Mat &)>;

    CameraSetup(platform::Scheduler &main, platform::CaptureBackend &backend, Report report, Configured configured,
                Frame frame = {});
    ~CameraSetup();
    CameraSetup(const CameraSetup &) = delete;
    CameraSetup &operator=(const CameraSetup &) = delete;

    /// @brief `checkPermissions()`, then `configureCaptureSession()` with its
    /// result passed on; both on the main scheduler, later, so that subscribers
    /// attached in the same turn see the errors. Nothing happens once the setup is gone.
    void configure();

    CameraStatus status() const { return m_status.load(); }
    std::optional<platform::CaptureDevice> selectedDevice() const { return m_selected; }

    /// @brief Asks whether the default device may be opened; a refusal reports
    /// the matching authorisation error and leaves the status `unauthorized`.
    void checkPermissions();
    /// @brief Chooses the device: true when it is chosen, or when the status was
    /// already other than `unconfigured`; reports `cameraUnavailable` and leaves
    /// the status `failed` when there is none.
    bool configureCaptureSession();

    /// @brief Starts capture; after a failure (or before any choice) it looks for
    /// a device first and reports `cameraUnavailable` when there is none.
    void start();
    void stop();
    /// @brief Switches to @p device; false, changing nothing, when it is not offered.
    bool select(const platform::CaptureDevice &device);

    /// @brief A frame arrived: the camera works.
    void frameArrived();
    /// @brief Capture failed: reports the matching error and updates the status.
    void failed(const platform::CaptureException &failure);

    /// @brief The `CameraError` a capture failure stands for.
    static CameraException cameraError(const platform::CaptureException &failure);

private:
    void report(const CameraException &error);
    std::optional<platform::CaptureDevice> choose(const std::vector<platform::CaptureDevice> &devices) const;
    // Chooses the device and selects it on the back-end; reports
    // cameraUnavailable and leaves the status failed when there is none.
    bool selectAvailable();

    platform::Scheduler &m_main;
    platform::CaptureBackend &m_backend;
    Report m_report;
    Configured m_configured;
    // The one member that may be read off the main thread: status() is the
    // managers' public status, which any thread may ask for. Every write, and
    // every other member, stays on the main thread, which orders them without a
    // lock.
    std::atomic<CameraStatus> m_status{CameraStatus::unconfigured};
    std::optional<platform::CaptureDevice> m_selected;
    std::optional<CameraException> m_lastReported;
    platform::OwnedPost m_post{m_main};
    platform::AnyCancellable m_frames;
    platform::AnyCancellable m_failures;
};

} // namespace faciward::presence
