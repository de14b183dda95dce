#pragma once

// The cameras and frames the tests of both camera managers offer their fake back-end.

#include "Platform/Capture/CaptureDevice.h"
#include "tests/support/FakeCaptureBackend.h"

namespace faciward::testing::cameras {

inline const platform::CaptureDevice builtIn{platform::CaptureDevice::Kind::camera, "/dev/video0",
                                             "Integrated Camera"};
inline const platform::CaptureDevice external{platform::CaptureDevice::Kind::camera, "/dev/video2", "USB Camera"};

/// @brief Frame @p n of the fake back-end, 2×2 pixels.
inline cv::Mat frame(int n)
{
    return FakeCaptureBackend::frame(n, cv::Size(2, 2));
}

} // namespace faciward::testing::cameras
