#pragma once

#include <opencv2/core.hpp>

#include <optional>

namespace faciward::platform {

/// @brief A picture: OpenCV matrix, 8 bits per channel, blue-green-red order.
///
/// Camera frames and decoded files are of this form. Pictures are shared by
/// reference count and never changed after they are handed on.
using Image = cv::Mat;

/// @brief @p image as 8-bit BGR: itself when it already is, a converted copy of
/// an 8-bit grey or BGRA picture, and nothing for an empty picture or any other
/// pixel format.
std::optional<Image> bgrImage(const Image &image);

} // namespace faciward::platform
