#pragma once

// Frames of a dim room, made from the development pictures: shared by the
// dim-light benchmark and the regression tests. Header-only so that tests can
// use it whether or not benchmarks are built.

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdint>

namespace faciward::devdata {

/// @brief How dark the dim frames are, as a fraction of the normal brightness.
constexpr double dimBrightness = 1.0 / 3;
/// @brief The sensor noise of a dim frame: standard deviation in 8-bit steps.
constexpr double dimNoise = 8.0;

/// @brief @p frame as a desk camera sees it in a dim room: a third as bright,
/// with the sensor's noise on every pixel and channel (reproducible from @p seed).
inline cv::Mat dimFrame(const cv::Mat &frame, std::uint64_t seed)
{
    cv::Mat light;
    frame.convertTo(light, CV_32FC3, dimBrightness);
    cv::Mat noise(frame.size(), CV_32FC3);
    cv::RNG rng(seed);
    rng.fill(noise, cv::RNG::NORMAL, 0, dimNoise);
    cv::Mat out;
    cv::Mat(light + noise).convertTo(out, CV_8UC3);
    return out;
}

/// @brief A 640×480 frame of an empty dim room (reproducible from @p seed):
/// walls and furniture in muted colours, blurred, as dark and noisy as dimFrame().
inline cv::Mat darkEmptyFrame(std::uint64_t seed)
{
    cv::RNG rng(seed);
    const auto muted = [&rng] {
        const int grey = rng.uniform(40, 220);
        return cv::Scalar(grey + rng.uniform(-25, 26), grey + rng.uniform(-25, 26), grey + rng.uniform(-25, 26));
    };
    cv::Mat room(480, 640, CV_8UC3, muted());
    for (int i = 0; i < 10; ++i) {
        const cv::Point a(rng.uniform(0, 640), rng.uniform(0, 480));
        const cv::Point b(rng.uniform(0, 640), rng.uniform(0, 480));
        cv::rectangle(room, a, b, muted(), cv::FILLED);
    }
    cv::GaussianBlur(room, room, cv::Size(), 6);
    return dimFrame(room, seed ^ 0x9e3779b97f4a7c15ull);
}

} // namespace faciward::devdata
