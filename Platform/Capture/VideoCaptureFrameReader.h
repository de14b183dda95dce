#pragma once

#include "FrameReader.h"

#include <filesystem>
#include <memory>

namespace faciward::platform {

/// @brief Reads a V4L2 camera or a video file through OpenCV's `VideoCapture`.
///
/// A camera is asked for 640×480 (the driver picks the nearest size it offers)
/// and paces itself. A video file is played at the frame rate it declares
/// (25 frames a second when it declares none) and starts over at its end.
/// The first frame is read while opening, so a source that opens but yields
/// nothing fails at once with `CaptureError::noFrames`; a camera that another
/// program is streaming from fails with `CaptureError::openFailed` ("Device or
/// resource busy").
class VideoCaptureFrameReader final : public FrameReader
{
public:
    enum class Mode { camera, videoFile };

    /// @brief Opens @p path; throws `CaptureException`.
    VideoCaptureFrameReader(const std::filesystem::path &path, Mode mode);
    ~VideoCaptureFrameReader() override;

    cv::Mat read() override;
    std::chrono::nanoseconds frameInterval() const override;

private:
    class Private;
    std::unique_ptr<Private> const d;
};

} // namespace faciward::platform
