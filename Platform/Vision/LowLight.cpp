#include "Platform/Vision/LowLight.h"

#include "Platform/Vision/VisionError.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cstdint>

namespace faciward::platform {

namespace {

// Every fourth pixel of every fourth row tells the brightness well enough, at
// a sixteenth of the cost.
constexpr int sampleStep = 4;

} // namespace

double LowLight::gain(const Image &bgr)
{
    CV_Assert(bgr.type() == CV_8UC3);
    std::array<int, 256> histogram{};
    int samples = 0;
    for (int y = 0; y < bgr.rows; y += sampleStep) {
        const std::uint8_t *row = bgr.ptr<std::uint8_t>(y);
        for (int x = 0; x < bgr.cols; x += sampleStep, ++samples) {
            const std::uint8_t *p = row + 3 * x;
            ++histogram[(29 * p[0] + 150 * p[1] + 77 * p[2]) >> 8]; // BT.601 luma
        }
    }
    // The level below which 99 % of the samples lie: a few bright dots (a lamp,
    // a hot pixel) do not make a dark frame bright.
    const int wanted = samples - samples / 100;
    int level = 0;
    for (int seen = histogram[0]; level < 255 && seen < wanted; seen += histogram[++level]) {
    }
    if (level >= darkLevel)
        return 1.0;
    return std::min(double(targetLevel) / std::max(level, 1), maxGain);
}

double LowLight::faceGain(const Image &bgrFace)
{
    CV_Assert(bgrFace.type() == CV_8UC3);
    if (bgrFace.empty())
        return 1.0;
    // The middle half of each side: the face alone, without the room that the
    // box's edges may reach into.
    const int width = std::max(bgrFace.cols / 2, 1), height = std::max(bgrFace.rows / 2, 1);
    const cv::Scalar mean =
        cv::mean(bgrFace(cv::Rect((bgrFace.cols - width) / 2, (bgrFace.rows - height) / 2, width, height)));
    const double luma = 0.114 * mean[0] + 0.587 * mean[1] + 0.299 * mean[2]; // BT.601
    if (luma >= darkFaceLevel)
        return 1.0;
    return std::min(faceTargetLevel / std::max(luma, 1.0), maxGain);
}

Image LowLight::brightened(const Image &bgr, double gain, double smoothing)
{
    Image out;
    try {
        if (smoothing > 0) {
            cv::GaussianBlur(bgr, out, cv::Size(), smoothing);
            out.convertTo(out, -1, gain);
        } else {
            bgr.convertTo(out, -1, gain);
        }
    } catch (const cv::Exception &e) {
        throw VisionException(VisionError::inferenceFailed, e.what());
    }
    return out;
}

} // namespace faciward::platform
