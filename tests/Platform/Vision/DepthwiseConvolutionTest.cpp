#include "Platform/Vision/DepthwiseConvolution.h"
#include "tests/Platform/Vision/OpenCvLayers.h"
#include "tests/support/Guards.h"

#include <opencv2/dnn.hpp>
#include <opencv2/dnn/all_layers.hpp>

#include <gtest/gtest.h>

#include <optional>
#include <string>

using faciward::platform::DepthwiseConvolution;

namespace {

// Layer types of these tests: ours (which leaves wide rows to OpenCV) and
// OpenCV's own, side by side, whatever "Convolution" means in this process.
constexpr const char *oursType = "FaciwardTestDepthwise";
constexpr const char *openCvType = "FaciwardTestOpenCvConvolution";

cv::dnn::LayerParams depthwiseParams(int channels, int stride, bool bias, cv::RNG &rng, int size = 3)
{
    const int pad = size == 3 ? 1 : 0;
    return faciward::testing::convolutionParams(channels, channels, size, stride, pad, channels, bias, rng);
}

// @p relu: a ReLU after the convolution, folded into it too.
cv::Mat run(const char *convolutionType, cv::dnn::LayerParams params, const std::optional<cv::Mat> &preluSlopes,
            const cv::Mat &input, bool relu = false)
{
    cv::dnn::Net net;
    net.addLayerToPrev("conv", convolutionType, params);
    if (relu) {
        cv::dnn::LayerParams reluParams;
        net.addLayerToPrev("relu", "ReLU", reluParams);
    } else if (preluSlopes) {
        // A PReLU after the convolution is folded into it when the network is set up.
        cv::dnn::LayerParams prelu;
        prelu.name = "prelu";
        prelu.type = "PReLU";
        prelu.blobs.push_back(*preluSlopes);
        net.addLayerToPrev("prelu", "PReLU", prelu);
    }
    net.setPreferableBackend(cv::dnn::DNN_BACKEND_OPENCV);
    net.setPreferableTarget(cv::dnn::DNN_TARGET_CPU);
    net.setInput(input);
    return net.forward().clone();
}

class DepthwiseConvolutionTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        cv::dnn::LayerFactory::registerLayer(oursType, &DepthwiseConvolution::create);
        cv::dnn::LayerFactory::registerLayer(openCvType, &faciward::testing::openCvLayer<cv::dnn::ConvolutionLayer>);
    }
    static void TearDownTestSuite()
    {
        cv::dnn::LayerFactory::unregisterLayer(oursType);
        cv::dnn::LayerFactory::unregisterLayer(openCvType);
    }
};

} // namespace

TEST_F(DepthwiseConvolutionTest, agreesWithOpenCvOnNarrowAndWidePlanes)
{
    // Narrow and wide planes alike; odd sides and stride 2 reach the last
    // padded column and row. A ReLU is applied as the layer stores, a PReLU
    // by OpenCV's own activation after it.
    cv::RNG rng(20261207);
    const cv::Size sizes[] = {{1, 1}, {2, 2}, {3, 5}, {7, 7}, {10, 8}, {14, 14}, {15, 15}, {20, 15}, {28, 28}, {56, 56}};
    for (const int stride : {1, 2}) {
        for (const cv::Size size : sizes) {
            for (const bool bias : {false, true}) {
                for (const bool prelu : {false, true}) {
                    const int channels = bias ? 16 : 5;
                    const int batch = prelu ? 2 : 1;
                    const cv::dnn::LayerParams params = depthwiseParams(channels, stride, bias, rng);
                    std::optional<cv::Mat> slopes;
                    if (prelu) {
                        slopes = cv::Mat(channels, 1, CV_32F);
                        rng.fill(*slopes, cv::RNG::UNIFORM, 0, 0.5);
                    }
                    cv::Mat input(std::vector<int>{batch, channels, size.height, size.width}, CV_32F);
                    rng.fill(input, cv::RNG::UNIFORM, -2, 2);

                    // Without PReLU, a plain ReLU on the channels of one case in two.
                    const bool relu = !prelu && size.width % 2 == 0;
                    const cv::Mat ours = run(oursType, params, slopes, input, relu);
                    const cv::Mat theirs = run(openCvType, params, slopes, input, relu);
                    SCOPED_TRACE("stride " + std::to_string(stride) + ", " + std::to_string(size.width) + "x" +
                                 std::to_string(size.height) + (bias ? ", bias" : "") + (prelu ? ", PReLU" : "") + (relu ? ", ReLU" : ""));
                    ASSERT_EQ(ours.dims, 4);
                    ASSERT_EQ(ours.size[2], (size.height - 1) / stride + 1);
                    ASSERT_EQ(ours.size[3], (size.width - 1) / stride + 1);
                    ASSERT_EQ(ours.total(), theirs.total());
                    EXPECT_LE(cv::norm(ours, theirs, cv::NORM_INF), 1e-5);
                    EXPECT_GT(cv::norm(ours, cv::NORM_INF), 0.1); // something was computed
                }
            }
        }
    }
}

TEST_F(DepthwiseConvolutionTest, aKernelAsLargeAsThePlaneAgreesWithOpenCv)
{
    // The embedding network's last depthwise layer (7×7 on 7×7 planes, one
    // value a channel), a kernel whose taps are not a multiple of eight, a
    // batch, the activations; and a plane larger than the kernel, which
    // OpenCV computes.
    const struct
    {
        int kernel, side, channels, batch;
        const char *activation; // "" for none
    } cases[] = {
        {7, 7, 512, 1, ""}, {5, 5, 6, 2, "PReLU"}, {7, 7, 5, 1, "ReLU"}, {7, 9, 4, 1, ""},
    };
    cv::RNG rng(20261207);
    for (const auto &c : cases) {
        const cv::dnn::LayerParams params = depthwiseParams(c.channels, 1, true, rng, c.kernel);
        std::optional<cv::Mat> slopes;
        if (std::string(c.activation) == "PReLU") {
            slopes = cv::Mat(c.channels, 1, CV_32F);
            rng.fill(*slopes, cv::RNG::UNIFORM, 0, 0.5);
        }
        cv::Mat input(std::vector<int>{c.batch, c.channels, c.side, c.side}, CV_32F);
        rng.fill(input, cv::RNG::UNIFORM, -2, 2);
        const bool relu = std::string(c.activation) == "ReLU";
        const cv::Mat ours = run(oursType, params, slopes, input, relu);
        const cv::Mat theirs = run(openCvType, params, slopes, input, relu);
        SCOPED_TRACE(std::to_string(c.kernel) + "x" + std::to_string(c.kernel) + " on " + std::to_string(c.side) + " " +
                     c.activation);
        ASSERT_EQ(ours.total(), theirs.total());
        EXPECT_EQ(ours.size[2], c.side - c.kernel + 1);
        EXPECT_LE(cv::norm(ours, theirs, cv::NORM_INF), 1e-4);
        EXPECT_GT(cv::norm(ours, cv::NORM_INF), 0.1); // something was computed
    }
}

TEST_F(DepthwiseConvolutionTest, anInputWithOtherChannelsIsAnOpenCvError)
{
    // Weights for 8 channels, a picture of 3: OpenCV's own check answers, as
    // an exception the caller can catch, never a read past the weights.
    cv::RNG rng(3);
    const cv::dnn::LayerParams params = depthwiseParams(8, 1, true, rng);
    cv::Mat input(std::vector<int>{1, 3, 7, 7}, CV_32F, cv::Scalar(1));
    // OpenCV logs the failed layer, over several lines, before it throws.
    const faciward::testing::ExpectStderr openCvLog("getLayerShapesRecursively|^$");
    EXPECT_THROW(run(oursType, params, std::nullopt, input), cv::Exception);
}

TEST_F(DepthwiseConvolutionTest, aDepthwiseLayerLeftToThePointwiseOneAfterItGivesOpenCvsResults)
{
    // Depthwise, activation, pointwise: fused by bands of whole rows, whatever
    // the rows' count (last band short), the width (odd), the activation
    // (applied as stored, PReLU's slopes, or OpenCV's own for ReLU6), the
    // channels (ragged blocks of outputs) and the batch. Planes narrower than
    // fusedWidth and layers of more than fusedChannels stay apart.
    cv::RNG rng(20261207);
    const struct
    {
        int channels, outputs, width, height, batch;
        const char *activation; // "" for none
        int fused;
    } cases[] = {
        {16, 32, 160, 5, 1, "ReLU", 1},
        {8, 12, 30, 7, 1, "PReLU", 1},
        {5, 6, 57, 9, 2, "", 1},
        {32, 16, 40, 13, 1, "ReLU6", 1},
        {16, 8, DepthwiseConvolution::fusedWidth - 1, 6, 1, "ReLU", 0},
        {DepthwiseConvolution::fusedChannels + 1, 8, 40, 6, 1, "ReLU", 0},
    };
    for (const auto &c : cases) {
        const cv::dnn::LayerParams depthwise = depthwiseParams(c.channels, 1, true, rng);
        cv::dnn::LayerParams pointwise;
        pointwise.set("kernel_size", 1);
        pointwise.set("num_output", c.outputs);
        pointwise.set("bias_term", true);
        pointwise.blobs.emplace_back(std::vector<int>{c.outputs, c.channels, 1, 1}, CV_32F);
        pointwise.blobs.emplace_back(c.outputs, 1, CV_32F);
        for (auto &blob : pointwise.blobs)
            rng.fill(blob, cv::RNG::UNIFORM, -1, 1);
        cv::dnn::LayerParams activation = faciward::testing::activationParams(c.activation, c.channels, rng);
        cv::Mat input(std::vector<int>{c.batch, c.channels, c.height, c.width}, CV_32F);
        rng.fill(input, cv::RNG::UNIFORM, -2, 2);
        const cv::dnn::MatShape shape(input.size.p, input.size.p + input.dims);

        const auto forward = [&](const char *type, bool fuse, int &fusedLayers) {
            cv::dnn::Net net;
            net.addLayerToPrev("depthwise", type, const_cast<cv::dnn::LayerParams &>(depthwise));
            if (*c.activation)
                net.addLayerToPrev("activation", c.activation, activation);
            net.addLayerToPrev("pointwise", type, pointwise);
            net.setPreferableBackend(cv::dnn::DNN_BACKEND_OPENCV);
            net.setPreferableTarget(cv::dnn::DNN_TARGET_CPU);
            fusedLayers = fuse ? DepthwiseConvolution::fuse(net, shape) : 0;
            net.setInput(input);
            return net.forward().clone();
        };
        int fused = 0, none = 0;
        const cv::Mat ours = forward(oursType, true, fused);
        const cv::Mat theirs = forward(openCvType, false, none);
        SCOPED_TRACE(std::to_string(c.channels) + "→" + std::to_string(c.outputs) + " on " + std::to_string(c.width) +
                     "x" + std::to_string(c.height) + " " + c.activation);
        EXPECT_EQ(fused, c.fused);
        ASSERT_EQ(ours.total(), theirs.total());
        EXPECT_LE(cv::norm(ours, theirs, cv::NORM_INF), 1e-4);
        EXPECT_GT(cv::norm(ours, cv::NORM_INF), 0.1); // something was computed
    }
}

TEST_F(DepthwiseConvolutionTest, aDepthwiseLayerWhoseOutputOthersReadTooIsNotFused)
{
    // The pointwise layer's and a second reader's: the depthwise results must
    // exist as a feature map, so the layer keeps its own pass.
    cv::RNG rng(7);
    cv::dnn::LayerParams depthwise = depthwiseParams(8, 1, true, rng);
    cv::dnn::LayerParams pointwise;
    pointwise.set("kernel_size", 1);
    pointwise.set("num_output", 8);
    pointwise.set("bias_term", false);
    pointwise.blobs.emplace_back(std::vector<int>{8, 8, 1, 1}, CV_32F);
    rng.fill(pointwise.blobs.back(), cv::RNG::UNIFORM, -1, 1);
    cv::dnn::LayerParams sum;
    sum.set("operation", "sum");
    cv::dnn::Net net;
    const int d = net.addLayerToPrev("depthwise", oursType, depthwise);
    const int p = net.addLayerToPrev("pointwise", oursType, pointwise);
    const int s = net.addLayer("sum", "Eltwise", sum);
    net.connect(p, 0, s, 0);
    net.connect(d, 0, s, 1);
    EXPECT_EQ(DepthwiseConvolution::fuse(net, cv::dnn::MatShape{1, 8, 6, 40}), 0);
}
