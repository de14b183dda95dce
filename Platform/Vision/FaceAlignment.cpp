#include "Platform/Vision/FaceAlignment.h"

#include <opencv2/imgproc.hpp>

namespace faciward::platform {

const FaceAlignment::FivePoints &FaceAlignment::referencePoints()
{
    static const FivePoints points{{
        {38.2946f, 51.6963f},
        {73.5318f, 51.5014f},
        {56.0252f, 71.7366f},
        {41.5493f, 92.3655f},
        {70.7299f, 92.2041f},
    }};
    return points;
}

FaceAlignment::FivePoints FaceAlignment::fivePoints(const FaceLandmarks::Points &l)
{
    return {{
        (l[37] + l[38] + l[40] + l[41]) / 4,
        (l[43] + l[44] + l[46] + l[47]) / 4,
        l[30],
        (l[48] + l[60]) / 2,
        (l[54] + l[64]) / 2,
    }};
}

cv::Matx23d FaceAlignment::similarity(const FivePoints &from, const FivePoints &to)
{
    // Closed form: with both point sets centred, the best a = s·cos θ and
    // b = s·sin θ are the normalised dot and cross sums.
    cv::Point2d meanFrom(0, 0), meanTo(0, 0);
    for (std::size_t i = 0; i < from.size(); ++i) {
        meanFrom += cv::Point2d(from[i]);
        meanTo += cv::Point2d(to[i]);
    }
    meanFrom /= static_cast<double>(from.size());
    meanTo /= static_cast<double>(to.size());
    double spread = 0, dot = 0, cross = 0;
    for (std::size_t i = 0; i < from.size(); ++i) {
        const cv::Point2d p = cv::Point2d(from[i]) - meanFrom;
        const cv::Point2d q = cv::Point2d(to[i]) - meanTo;
        spread += p.dot(p);
        dot += p.dot(q);
        cross += p.x * q.y - p.y * q.x;
    }
    if (spread <= 0) // all points in one place: no scale can be fitted
        return cv::Matx23d(0, 0, meanTo.x, 0, 0, meanTo.y);
    const double a = dot / spread;
    const double b = cross / spread;
    return cv::Matx23d(a, -b, meanTo.x - (a * meanFrom.x - b * meanFrom.y), //
                       b, a, meanTo.y - (b * meanFrom.x + a * meanFrom.y));
}

Image FaceAlignment::align(const Image &image, const FivePoints &points)
{
    Image out;
    cv::warpAffine(image, out, cv::Mat(similarity(points, referencePoints())), cv::Size(size, size),
                   cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar::all(0));
    return out;
}

} // namespace faciward::platform
