#pragma once

#include <opencv2/dnn.hpp>

namespace faciward::platform {

/// @brief Softmax along a tensor's last axis, for OpenCV's dnn module.
///
/// The face detector turns its [1, 4420, 2] class scores into probabilities
/// along the last axis. OpenCV 4.6 walks such a tensor with a stride per
/// value and takes 0.1 ms for it, a twentieth of the detector's own layers'
/// time at the 30×40 scale. This layer does each row of a few values in one
/// pass; any other axis, and the log form, are left to OpenCV's own layer,
/// kept inside. Results agree with OpenCV's to rounding.
class LastAxisSoftmax
{
public:
    /// @brief Makes OpenCV build every Softmax it reads from now on through
    /// create(). Once per process; thread-safe.
    static void install();

    /// @brief The layer for @p params.
    static cv::Ptr<cv::dnn::Layer> create(cv::dnn::LayerParams &params);
};

} // namespace faciward::platform
