#pragma once

#include <opencv2/dnn.hpp>

namespace faciward::platform {

/// @brief The 3×3 depthwise convolutions of the face networks, for OpenCV's
/// dnn module.
///
/// OpenCV 4.6 runs a depthwise convolution whose output rows are narrower than
/// 16 values four to six times slower than a wide one, per value, and its wide
/// ones with stride 2 at a few multiply-adds per nanosecond: together a
/// quarter of the detector's time and a third of the embedding network's.
/// This layer computes every one of them as a single loop over a bordered
/// copy of each plane (split into phases for stride 2), so that every tap
/// reads consecutive values whatever the width of the rows, and applies a
/// ReLU or PReLU as it stores. Results agree with OpenCV's to rounding.
class DepthwiseConvolution
{
public:
    /// @brief Makes OpenCV build every convolution it reads from now on
    /// through create(). Once per process; thread-safe.
    static void install();

    /// @brief The layer for @p params: this one for a 3×3 depthwise
    /// convolution (one group per channel) with stride 1 or 2, padding 1 on
    /// every side and no dilation; DenseConvolution's for the ordinary ones it
    /// takes; OpenCV's own layer for any other.
    static cv::Ptr<cv::dnn::Layer> create(cv::dnn::LayerParams &params);

    /// @brief Whether create() makes this layer for @p params.
    static bool handles(const cv::dnn::LayerParams &params);
};

} // namespace faciward::platform
