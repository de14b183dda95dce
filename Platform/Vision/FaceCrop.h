#pragma once

#include "Platform/Vision/Image.h"

namespace faciward::platform {

/// @brief The square cut around a face that the embedding step works on.
///
/// A face box (as FaceRectangles gives it) is widened by a margin on every
/// side, so that the alignment has the whole face, forehead and chin included,
/// even when the face is turned or tilted. The embedding model then knows where
/// the face box lies inside any crop made this way, whatever its pixel size.
class FaceCrop
{
public:
    /// @brief The margin added on each side, as a fraction of the face box's side.
    /// Chosen with the identity benchmark (bench/recognition).
    static constexpr double margin = 0.25;

    /// @brief The region of the frame to cut for @p faceBox, in frame pixels.
    /// It may reach past the frame's edges. (Another @p margin is for the benchmark
    /// that chooses it.)
    static cv::Rect2d region(const cv::Rect2d &faceBox, double margin = FaceCrop::margin);

    /// @brief Where the face box lies inside a crop of @p cropSize pixels.
    static cv::Rect2d faceBoxInCrop(cv::Size cropSize, double margin = FaceCrop::margin);

    /// @brief Cuts @p region out of @p image and scales it to @p size, stretching
    /// it if its sides differ. Parts of the region beyond the image are black, so
    /// a face at the frame's edge keeps its place in the crop.
    static Image cut(const Image &image, const cv::Rect2d &region, cv::Size size);
};

} // namespace faciward::platform
