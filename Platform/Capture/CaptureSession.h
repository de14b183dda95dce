#pragma once

#include "CaptureBackend.h"
#include "FrameReader.h"
#include "Platform/Reactive/Scheduler.h"

#include <functional>
#include <memory>

namespace faciward::platform {

/// @brief The real camera: one capture thread that opens, reads and closes the
/// selected device, and posts every frame, cloned, to the main scheduler.
///
/// Start, stop and device selection are commands queued to the capture thread
/// and carried out in order, so a selection never races a start or a stop.
/// If the main loop falls more than a few frames behind, newer frames are
/// dropped until it catches up, so memory stays bounded.
/// The device is open only between start and stop (a camera's light is on only
/// then). While stopped, the thread sleeps on a condition variable and costs no
/// CPU. A device that fails to open or stops delivering publishes its failure,
/// is closed and ends the run; the thread waits for the next command, and the
/// next `start()` opens the device afresh.
class CaptureSession final : public CaptureBackend
{
public:
    /// @brief Lists the devices to choose from; `CaptureDevice::discover()` by default.
    using DeviceList = std::function<std::vector<CaptureDevice>()>;

    /// @param main where frames and failures are delivered.
    /// @param devices the devices offered; empty means the V4L2 devices of /dev.
    /// @param openReader how a device is opened; empty means `FrameReader::open`.
    explicit CaptureSession(platform::Scheduler &main, DeviceList devices = {}, FrameReaderFactory openReader = {});
    /// @brief Stops capture and joins the capture thread (after at most one frame's read).
    ~CaptureSession() override;
    CaptureSession(const CaptureSession &) = delete;
    CaptureSession &operator=(const CaptureSession &) = delete;

    std::vector<CaptureDevice> devices() const override;
    CaptureAuthorization authorization(const CaptureDevice &device) const override;
    void select(const CaptureDevice &device) override;
    std::optional<CaptureDevice> selected() const override;
    void start() override;
    void stop() override;
    bool isRunning() const override;
    platform::Publisher<cv::Mat> frames() const override;
    platform::Publisher<CaptureException> failures() const override;

private:
    class Private;
    std::unique_ptr<Private> const d;
};

} // namespace faciward::platform
