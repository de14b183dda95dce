#pragma once

#include <opencv2/dnn.hpp>

#include <memory>
#include <string>
#include <vector>

namespace faciward::platform {

class DepthwiseStage;

/// @brief The ordinary (one group) convolutions of the face networks, for
/// OpenCV's dnn module.
///
/// OpenCV 4.6 runs the convolutions of the face detector at a third to a half
/// of what the processor's vector units allow: its pointwise (1×1) layers, a
/// third of the detector's time, reach 8 to 18 multiply-adds per nanosecond
/// on one core, its 3×3 layers fewer. This layer computes them as one matrix
/// product, weights by input columns, in register blocks that the compiler
/// turns into fused multiply-adds, and applies a ReLU or PReLU as it stores.
/// The blocks are built for each instruction set and picked by what the
/// processor has: with AVX-512, 8 output channels by 48 columns, which takes
/// the pointwise layers of 14×14 to 8×10 planes from about 45 to 50–55
/// multiply-adds per nanosecond, near the core's 54.
/// The columns are the input itself for a pointwise convolution; for a
/// larger kernel, shifted views of one bordered copy of the input, so that no
/// patch is ever gathered; a dilated kernel only spaces the views further
/// apart (the detector's three dilated 3×3 layers took 0.15 ms each in
/// OpenCV). Results agree with OpenCV's to rounding. DepthwiseConvolution's
/// factory makes it.
class DenseConvolution
{
public:
    /// @brief This layer for @p params, or null for a convolution it does not
    /// compute: it takes square kernels of one group with equal strides,
    /// equal padding on every side and equal dilations.
    static cv::Ptr<cv::dnn::Layer> create(const cv::dnn::LayerParams &params);

    /// @brief As create(), computing the product with @p instructionSet, one
    /// of instructionSets(); null for any other.
    static cv::Ptr<cv::dnn::Layer> create(const cv::dnn::LayerParams &params, const std::string &instructionSet);

    /// @brief The instruction sets that this processor can compute the product
    /// with, the one create() takes first: of "avx512", "avx2", "baseline".
    static std::vector<std::string> instructionSets();

    /// @brief Whether create() makes this layer for @p params.
    static bool handles(const cv::dnn::LayerParams &params);

    /// @brief Makes @p layer, when it is a pointwise one of these of
    /// @p channels inputs, compute @p stage on its input before its product
    /// (see DepthwiseConvolution::fuse()); @p owner keeps @p stage alive.
    /// False, and nothing changed, for any other layer.
    static bool absorb(const cv::Ptr<cv::dnn::Layer> &layer, int channels, const DepthwiseStage *stage,
                       const cv::Ptr<cv::dnn::Layer> &owner);

    /// @brief Makes @p layer, when it is a pointwise one of these of
    /// @p channels outputs, compute the stride-2 @p stage on its own results,
    /// a band of rows at a time, and give that as its output (see
    /// DepthwiseConvolution::fuse()); @p activationBetween: whether an
    /// activation lies between the two, which OpenCV must fold into @p layer;
    /// @p owner keeps @p stage alive. False, and nothing changed, for any
    /// other layer.
    static bool chain(const cv::Ptr<cv::dnn::Layer> &layer, int channels, const DepthwiseStage *stage,
                      const cv::Ptr<cv::dnn::Layer> &owner, bool activationBetween);
};

} // namespace faciward::platform
