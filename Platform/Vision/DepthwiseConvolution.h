#pragma once

#include <opencv2/dnn.hpp>

namespace faciward::platform {

/// @brief The work of a depthwise layer that the pointwise layer after it
/// does in its place (see DepthwiseConvolution::fuse()).
class DepthwiseStage
{
public:
    virtual ~DepthwiseStage() = default;

    /// @brief Output rows [@p firstRow, @p lastRow) of channel @p channel,
    /// from the input plane @p plane of @p height × @p width values, with the
    /// layer's stride and activation, into @p out (rows of
    /// (@p width − 1) / stride + 1 values).
    virtual void computeRows(const float *plane, int height, int width, int channel, int firstRow, int lastRow,
                             float *out) const = 0;
};

/// @brief The depthwise convolutions of the face networks, for OpenCV's
/// dnn module.
///
/// OpenCV 4.6 runs a depthwise convolution whose output rows are narrower than
/// 16 values four to six times slower than a wide one, per value, and its wide
/// ones with stride 2 at a few multiply-adds per nanosecond: together a
/// quarter of the detector's time and a third of the embedding network's.
/// This layer computes every one of them with DepthwiseKernel, which reads
/// each plane where it lies, and applies a ReLU or PReLU as it stores.
/// Results agree with OpenCV's to rounding.
class DepthwiseConvolution
{
public:
    /// @brief Makes OpenCV build every convolution it reads from now on
    /// through create(). Once per process; thread-safe.
    static void install();

    /// @brief The layer for @p params: this one for a 3×3 depthwise
    /// convolution (one group per channel) with stride 1 or 2, padding 1 on
    /// every side and no dilation, and for a larger square depthwise kernel
    /// without padding (which it computes when the kernel covers the whole
    /// plane, and leaves to OpenCV otherwise); DenseConvolution's for the
    /// ordinary ones it takes; OpenCV's own layer for any other.
    static cv::Ptr<cv::dnn::Layer> create(cv::dnn::LayerParams &params);

    /// @brief Whether create() makes this layer for @p params.
    static bool handles(const cv::dnn::LayerParams &params);

    /// @brief Leaves each stride-1 depthwise layer of @p net of at most
    /// fusedChannels channels, on planes at least fusedWidth wide (given an
    /// input of @p inputShape), whose output only a pointwise DenseConvolution
    /// reads (through an activation or not), to that layer: it computes the
    /// depthwise results for a few hundred columns at a time and multiplies
    /// them while they are in the first level cache, instead of storing a
    /// whole feature map and reading it again. The depthwise layer then passes
    /// its input through in place. Call it before the first run of @p net.
    /// Likewise each stride-2 depthwise layer of at most fusedChannels
    /// channels, on input planes at least fusedWidth wide and input maps of
    /// at least chainedMapValues, whose input only it reads and only a
    /// pointwise DenseConvolution gives (through an activation or not), to
    /// that layer: it computes a few rows of its product at a time and this
    /// layer's rows from them, instead of storing its feature map, four times
    /// the size of this layer's output, and this layer reading it again.
    /// @return how many depthwise layers it left to the pointwise ones.
    static int fuse(cv::dnn::Net &net, const cv::dnn::MatShape &inputShape);

    /// @brief Narrower planes keep their own pass, and so do layers of more
    /// channels, whose results for a band of rows leave the first level cache.
    /// Measured with the kernel that walks down the plane, alternated in one
    /// run on one core: fusing up to 64 channels (the detector's 30 × 40
    /// layers and the embedding network's first 56 × 56 one) took the
    /// detector from 4.12 to 3.97 ms and the embedding network from 6.14 to
    /// 5.96; up to 128 channels was slower than 32 (embedding 5.72 -> 6.0 ms),
    /// and so was 16.
    static constexpr int fusedWidth = 28, fusedChannels = 64;

    /// @brief A stride-2 layer is chained after the pointwise one when that
    /// one's feature map would leave the second level cache (1 MiB here).
    /// Alternated in one run on one core: the detector's 32 × 120 × 160 map
    /// took the pair from 0.62 to 0.48 ms; its 32 × 60 × 80 one, which stays
    /// in the cache, from 0.20 to 0.22–0.24 ms.
    static constexpr int chainedMapValues = 262144;
};

} // namespace faciward::platform
