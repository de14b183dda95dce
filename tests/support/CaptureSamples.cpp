#include "CaptureSamples.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>

#include <cmath>
#include <cstdio>

namespace faciward::testing {

cv::Mat numberedFrame(int number, cv::Size size)
{
    const double level = 20.0 * number + 10.0;
    return cv::Mat(size, CV_8UC3, cv::Scalar(level, level, level));
}

int frameNumber(const cv::Mat &frame)
{
    if (frame.empty() || frame.type() != CV_8UC3)
        return -1;
    const cv::Scalar mean = cv::mean(frame);
    const double n = (mean[0] - 10.0) / 20.0;
    const long rounded = std::lround(n);
    if (std::abs(n - static_cast<double>(rounded)) > 0.25 || rounded < 0 || rounded > 11)
        return -1;
    return static_cast<int>(rounded);
}

void writeNumberedPictures(const std::filesystem::path &folder, int count)
{
    std::filesystem::create_directories(folder);
    for (int i = count - 1; i >= 0; --i) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%02d.png", i);
        cv::imwrite((folder / name).string(), numberedFrame(i));
    }
}

bool writeNumberedVideo(const std::filesystem::path &file, int count, double framesPerSecond)
{
    cv::VideoWriter writer(file.string(), cv::CAP_FFMPEG, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'),
                           framesPerSecond, cv::Size(64, 48));
    if (!writer.isOpened())
        return false;
    for (int i = 0; i < count; ++i)
        writer.write(numberedFrame(i));
    writer.release();
    return true;
}

} // namespace faciward::testing
