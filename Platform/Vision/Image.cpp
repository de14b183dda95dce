#include "Platform/Vision/Image.h"

#include <opencv2/imgproc.hpp>

namespace faciward::platform {

std::optional<Image> bgrImage(const Image &image)
{
    if (image.empty() || image.dims != 2 || image.depth() != CV_8U)
        return std::nullopt;
    switch (image.channels()) {
    case 3:
        return image;
    case 1: {
        Image out;
        cv::cvtColor(image, out, cv::COLOR_GRAY2BGR);
        return out;
    }
    case 4: {
        Image out;
        cv::cvtColor(image, out, cv::COLOR_BGRA2BGR);
        return out;
    }
    default:
        return std::nullopt;
    }
}

} // namespace faciward::platform
