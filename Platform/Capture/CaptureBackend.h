#pragma once

#include "CaptureAuthorization.h"
#include "CaptureDevice.h"
#include "CaptureException.h"
#include "Platform/Reactive/Publisher.h"

#include <opencv2/core/mat.hpp>

#include <optional>
#include <vector>

namespace faciward::platform {

/// @brief A camera as the rest of the program sees it: a choice of devices,
/// start and stop, and frames and failures delivered on the main scheduler.
///
/// `start()`, `stop()` and `select()` only ask; the work happens elsewhere and
/// its outcome arrives later as frames or as a failure. They are safe from any
/// thread and are carried out in the order they were asked for.
class CaptureBackend
{
public:
    virtual ~CaptureBackend() = default;

    /// @brief The devices the user can choose from, default first.
    virtual std::vector<CaptureDevice> devices() const = 0;
    /// @brief Whether the permissions let this process open @p device.
    virtual CaptureAuthorization authorization(const CaptureDevice &device) const = 0;

    /// @brief Makes @p device the one to capture from. While capture runs, the
    /// old device is closed and the new one opened, between two frames.
    virtual void select(const CaptureDevice &device) = 0;
    /// @brief The device last asked for, if any.
    virtual std::optional<CaptureDevice> selected() const = 0;

    /// @brief Opens the selected device (the default one when none was selected)
    /// and delivers its frames until `stop()`. Does nothing while already running.
    virtual void start() = 0;
    /// @brief Closes the device. No frame is delivered after `stop()` returns on
    /// the main scheduler's thread.
    virtual void stop() = 0;
    /// @brief True from `start()` until `stop()`, or until a failure ended the run.
    virtual bool isRunning() const = 0;

    /// @brief Every frame captured while running: BGR, 8 bits per channel, owned
    /// (never reused by the capture side), on the main scheduler, in capture order.
    virtual platform::Publisher<cv::Mat> frames() const = 0;
    /// @brief Every failure to open or to keep reading a device, on the main scheduler.
    /// A failure ends the run; the next `start()` tries again.
    virtual platform::Publisher<CaptureException> failures() const = 0;
};

} // namespace faciward::platform
