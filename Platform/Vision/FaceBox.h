#pragma once

#include <opencv2/core/types.hpp>

namespace faciward::platform {

/// @brief One face found in a picture.
struct FaceBox
{
    /// @brief The face, in pixels of the picture (origin top left). Square,
    /// drawn the way the landmark model expects: from the brows to below the
    /// lower lip, cheek to cheek. It may reach past the picture's edges.
    cv::Rect2d rect;
    /// @brief How sure the detector is, from 0 to 1.
    float confidence = 0;
};

} // namespace faciward::platform
