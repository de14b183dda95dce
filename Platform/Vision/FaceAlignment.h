#pragma once

#include "Platform/Vision/FaceLandmarks.h"
#include "Platform/Vision/Image.h"

#include <array>

namespace faciward::platform {

/// @brief Brings a face into the pose the embedding network was trained on:
/// five points (eye centres, nose tip, mouth corners) are moved onto fixed
/// reference points of a 112 by 112 picture by one rotation, one uniform scale
/// and one shift, the best such fit in the least-squares sense.
class FaceAlignment
{
public:
    using FivePoints = std::array<cv::Point2f, 5>;

    /// @brief Side of the aligned picture, in pixels.
    static constexpr int size = 112;

    /// @brief Where the five points land in the aligned picture: left eye, right
    /// eye, nose tip, left and right mouth corner ("left" as seen in the picture).
    static const FivePoints &referencePoints();

    /// @brief The five points from the 68 landmarks: each eye centre is the mean
    /// of its four lid points, each mouth corner the mean of its outer and inner
    /// corner.
    static FivePoints fivePoints(const FaceLandmarks::Points &landmarks);

    /// @brief The similarity transform (2x3, rotation times scale plus shift)
    /// that moves @p from onto @p to with the least sum of squared distances.
    static cv::Matx23d similarity(const FivePoints &from, const FivePoints &to);

    /// @brief The aligned 112 by 112 face of @p image whose five points are @p points.
    static Image align(const Image &image, const FivePoints &points);
};

} // namespace faciward::platform
