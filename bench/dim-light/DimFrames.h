#pragma once

// Frames in hard light, made from the development pictures: a dim room, a
// small face before a plain wall, a face in shadow in a lit room. Shared by the
// dim-light benchmark and the regression tests. Header-only so that tests can
// use it whether or not benchmarks are built.

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdint>
#include <filesystem>

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

/// @brief A 640×480 empty room in normal light (reproducible from @p seed):
/// walls and furniture in muted colours, blurred.
inline cv::Mat emptyRoom(std::uint64_t seed)
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
    return room;
}

/// @brief A 640×480 frame of an empty dim room (reproducible from @p seed):
/// emptyRoom() as dark and noisy as dimFrame().
inline cv::Mat darkEmptyFrame(std::uint64_t seed)
{
    return dimFrame(emptyRoom(seed), seed ^ 0x9e3779b97f4a7c15ull);
}

/// @brief A 640×480 frame of an empty room in normal light (reproducible from
/// @p seed): the room of darkEmptyFrame() at full brightness, with a window.
inline cv::Mat litEmptyFrame(std::uint64_t seed)
{
    cv::Mat room = emptyRoom(seed);
    cv::RNG rng(seed ^ 0x5851f42d4c957f2dull);
    const cv::Point corner(rng.uniform(0, 520), rng.uniform(0, 300));
    cv::rectangle(room, corner, corner + cv::Point(rng.uniform(60, 120), rng.uniform(80, 180)),
                  cv::Scalar::all(rng.uniform(200, 245)), cv::FILLED);
    cv::GaussianBlur(room, room, cv::Size(), 2);
    return room;
}

/// @brief The side of the wall frames' face pictures, in pixels: a user sitting
/// back from a laptop's camera.
constexpr int wallFaceSide = 75;

/// @brief The picture at @p picture scaled to wallFaceSide pixels, in the middle
/// of a 640×480 plain wall of grey @p level: a normally lit face that leaves
/// most of the frame below mid-grey.
inline cv::Mat wallFrame(const std::filesystem::path &picture, int level)
{
    cv::Mat face = cv::imread(picture.string());
    cv::resize(face, face, cv::Size(wallFaceSide, wallFaceSide), 0, 0, cv::INTER_AREA);
    cv::Mat frame(480, 640, CV_8UC3, cv::Scalar::all(level));
    face.copyTo(frame(cv::Rect((640 - face.cols) / 2, (480 - face.rows) / 2, face.cols, face.rows)));
    return frame;
}

/// @brief @p region of @p frame in shadow: dimBrightness as bright with
/// dimNoise, its edges blended over 15 pixels into the frame's normal light
/// (reproducible from @p seed). The owner in the shadow of a monitor, or with a
/// lamp behind them.
inline cv::Mat shadowed(const cv::Mat &frame, const cv::Rect &region, std::uint64_t seed)
{
    cv::Mat mask(frame.size(), CV_32F, cv::Scalar(0));
    mask(region).setTo(1);
    cv::GaussianBlur(mask, mask, cv::Size(), 15);
    cv::Mat light;
    frame.convertTo(light, CV_32FC3);
    cv::Mat noise(frame.size(), CV_32FC3);
    cv::RNG rng(seed);
    rng.fill(noise, cv::RNG::NORMAL, 0, dimNoise);
    const cv::Mat darkening = 1.0 - (1.0 - dimBrightness) * mask;
    cv::Mat mask3, factor;
    cv::merge(std::vector<cv::Mat>{mask, mask, mask}, mask3);
    cv::merge(std::vector<cv::Mat>{darkening, darkening, darkening}, factor);
    cv::Mat out;
    cv::Mat(light.mul(factor) + noise.mul(mask3)).convertTo(out, CV_8UC3);
    return out;
}

/// @brief The picture at @p picture scaled by @p scale, in shadow (shadowed()),
/// in the middle of the lit empty room of @p seed.
inline cv::Mat shadowedFaceFrame(const std::filesystem::path &picture, std::uint64_t seed, double scale = 2.0)
{
    cv::Mat face = cv::imread(picture.string());
    cv::resize(face, face, cv::Size(), scale, scale, scale < 1 ? cv::INTER_AREA : cv::INTER_CUBIC);
    cv::Mat frame = litEmptyFrame(seed);
    const cv::Rect where((640 - face.cols) / 2, (480 - face.rows) / 2, face.cols, face.rows);
    face.copyTo(frame(where));
    return shadowed(frame, where, seed ^ 0x2545f4914f6cdd1dull);
}

} // namespace faciward::devdata
