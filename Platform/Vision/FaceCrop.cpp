#include "Platform/Vision/FaceCrop.h"

#include <opencv2/imgproc.hpp>

#include <cmath>

namespace faciward::platform {

cv::Rect2d FaceCrop::region(const cv::Rect2d &faceBox, double margin)
{
    const double dx = faceBox.width * margin;
    const double dy = faceBox.height * margin;
    return {faceBox.x - dx, faceBox.y - dy, faceBox.width + 2 * dx, faceBox.height + 2 * dy};
}

cv::Rect2d FaceCrop::faceBoxInCrop(cv::Size cropSize, double margin)
{
    const double scale = 1.0 + 2 * margin;
    const double w = cropSize.width / scale;
    const double h = cropSize.height / scale;
    return {(cropSize.width - w) / 2, (cropSize.height - h) / 2, w, h};
}

Image FaceCrop::cut(const Image &image, const cv::Rect2d &region, cv::Size size)
{
    // The whole-pixel rectangle that covers the region; at least one pixel.
    const int x0 = static_cast<int>(std::floor(region.x));
    const int y0 = static_cast<int>(std::floor(region.y));
    const int x1 = std::max(x0 + 1, static_cast<int>(std::ceil(region.x + region.width)));
    const int y1 = std::max(y0 + 1, static_cast<int>(std::ceil(region.y + region.height)));
    const cv::Rect wanted(x0, y0, x1 - x0, y1 - y0);
    const cv::Rect inside = wanted & cv::Rect(0, 0, image.cols, image.rows);

    Image source;
    if (inside == wanted) {
        source = image(wanted);
    } else {
        source = Image(wanted.size(), image.type(), cv::Scalar::all(0));
        if (!inside.empty())
            image(inside).copyTo(source(inside - wanted.tl()));
    }
    Image out;
    const bool shrinking = source.cols > size.width * 2 && source.rows > size.height * 2;
    cv::resize(source, out, size, 0, 0, shrinking ? cv::INTER_AREA : cv::INTER_LINEAR);
    return out;
}

} // namespace faciward::platform
