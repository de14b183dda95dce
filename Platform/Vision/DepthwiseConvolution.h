#pragma once

#include <opencv2/dnn.hpp>

namespace faciward::platform {

/// @brief The 3×3 depthwise convolutions of the face networks, for OpenCV's
/// dnn module.
///
/// OpenCV 4.6 runs a depthwise convolution whose output rows are narrower than
/// 16 values four to six times slower than a wide one, per value: a third of
/// the embedding network's time went into its 14×14 and 7×7 layers. This
/// layer computes such convolutions itself and leaves every other one,
/// including wide depthwise ones, to OpenCV's own layer, which it keeps inside.
/// Results agree with OpenCV's to rounding.
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

    /// @brief Output rows narrower than this are computed here; wider ones by
    /// OpenCV, which is as fast or faster there.
    static constexpr int narrowRow = 16;
};

} // namespace faciward::platform
