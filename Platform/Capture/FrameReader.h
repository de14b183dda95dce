#pragma once

#include "CaptureDevice.h"

#include <opencv2/core/mat.hpp>

#include <chrono>
#include <functional>
#include <memory>

namespace faciward::platform {

/// @brief An open source of frames, read by one capture thread.
///
/// Opening happens in the constructor of an implementation (or in `open`), and
/// closing in its destructor, so a reader exists exactly while its device is open.
class FrameReader
{
public:
    virtual ~FrameReader() = default;

    /// @brief The next frame, BGR with 8 bits per channel.
    ///
    /// A camera blocks here until its next frame; a file source returns at once
    /// and wants `frameInterval()` between reads. Throws `CaptureException` when
    /// the source stops delivering (`CaptureError::deviceLost`).
    virtual cv::Mat read() = 0;

    /// @brief The time between frames the caller must keep; zero for sources whose
    /// `read()` waits for the next frame itself.
    virtual std::chrono::nanoseconds frameInterval() const = 0;

    /// @brief Opens the reader @p device needs: V4L2 for a camera, FFmpeg for a
    /// video file, the picture decoders for a folder. Throws `CaptureException`.
    static std::unique_ptr<FrameReader> open(const CaptureDevice &device);
};

/// @brief Opens a reader for a device; throws `CaptureException` when it cannot.
using FrameReaderFactory = std::function<std::unique_ptr<FrameReader>(const CaptureDevice &)>;

} // namespace faciward::platform
