#include "Platform/Vision/CopyLayers.h"
#include "Platform/Vision/DenseConvolution.h"
#include "Platform/Vision/DepthwiseConvolution.h"
#include "Platform/Vision/EltwiseSum.h"
#include "Platform/Vision/FaceModels.h"
#include "Platform/Vision/InferenceThreads.h"
#include "Platform/Vision/LastAxisSoftmax.h"
#include "tests/Platform/Vision/OpenCvLayers.h"
#include "tests/Platform/Vision/VisionTestData.h"

#include <opencv2/dnn.hpp>
#include <opencv2/dnn/all_layers.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using faciward::platform::CopyLayers;
using faciward::platform::DenseConvolution;
using faciward::platform::DepthwiseConvolution;
using faciward::platform::EltwiseSum;
using faciward::platform::InferenceThreads;
using faciward::platform::LastAxisSoftmax;
namespace ft = faciward::testing;

namespace {

// @p read with OpenCV's own layers, whatever this process registered.
cv::dnn::Net withOpenCvLayers(const std::function<cv::dnn::Net()> &read)
{
    const std::pair<const char *, cv::dnn::LayerFactory::Constructor> own[] = {
        {"Convolution", &ft::openCvLayer<cv::dnn::ConvolutionLayer>},
        {"Slice", &ft::openCvLayer<cv::dnn::SliceLayer>},
        {"Concat", &ft::openCvLayer<cv::dnn::ConcatLayer>},
        {"Softmax", &ft::openCvLayer<cv::dnn::SoftmaxLayer>},
        {"Eltwise", &ft::openCvLayer<cv::dnn::EltwiseLayer>}};
    for (const auto &[type, make] : own)
        cv::dnn::LayerFactory::registerLayer(type, make);
    cv::dnn::Net net = read();
    for (const auto &name : net.getLayerNames())
        net.getLayer(name); // made now, while OpenCV's are the registered ones
    for (const auto &[type, make] : own)
        cv::dnn::LayerFactory::unregisterLayer(type);
    return net;
}

std::vector<cv::Mat> forward(cv::dnn::Net &net, const cv::Mat &input, const std::vector<std::string> &outputs)
{
    net.setPreferableBackend(cv::dnn::DNN_BACKEND_OPENCV);
    net.setPreferableTarget(cv::dnn::DNN_TARGET_CPU);
    net.setInput(input);
    std::vector<cv::Mat> out;
    if (outputs.empty())
        out.push_back(net.forward());
    else
        net.forward(out, outputs);
    for (auto &o : out)
        o = o.clone();
    return out;
}

// The instruction set that denseLayer() computes with.
std::string forcedInstructionSet;

cv::Ptr<cv::dnn::Layer> denseLayer(cv::dnn::LayerParams &params)
{
    return DenseConvolution::create(params, forcedInstructionSet);
}

// Depthwise layers as the application makes them, the others as denseLayer().
cv::Ptr<cv::dnn::Layer> depthwiseOrDenseLayer(cv::dnn::LayerParams &params)
{
    return DepthwiseConvolution::handles(params) ? DepthwiseConvolution::create(params) : denseLayer(params);
}

// @p wanted threads, or the cores this process may use if fewer: OpenCV's
// pool warns on standard error when asked for more.
int threadsUpTo(int wanted)
{
    return static_cast<int>(std::min<std::size_t>(wanted, InferenceThreads::cores()));
}

} // namespace

TEST(DenseConvolution, aPointwiseLayerChainedWithTheStrideTwoDepthwiseOneAfterItGivesOpenCvsResults)
{
    // [depthwise,] pointwise, activation, stride-2 depthwise, activation: the
    // pointwise layer gives the last one's output, computed by bands of rows,
    // with each instruction set, on one thread (each band reads the row the
    // band before it kept) and on four (runs of bands computed apart): a
    // short last band, odd sides (the bottom border past the plane), PReLU's
    // slopes, ReLU6 applied apart, ragged output blocks, a batch of two.
    // Narrow planes, maps smaller than chainedMapValues, more channels than
    // fusedChannels and a product read by another layer too stay apart.
    const int threads = cv::getNumThreads();
    for (const auto &set : DenseConvolution::instructionSets()) {
        forcedInstructionSet = set;
        cv::RNG rng(20261207);
        const struct
        {
            int inputs, channels, width, height, batch;
            bool depthwiseBefore;
            const char *activation; // between the pointwise and the stride-2 layers, and after; "" for none
            bool secondReader;      // the product is read by another layer too
            int fused;              // layers left to the pointwise one
        } cases[] = {
            {16, 32, 160, 82, 1, true, "ReLU", false, 2}, // the detector's first layers
            {16, 32, 160, 83, 1, false, "ReLU", false, 1},
            {8, 12, 57, 385, 2, true, "PReLU", false, 2},
            {5, 6, 64, 683, 1, false, "ReLU6", false, 1},
            {6, 64, 40, 103, 1, true, "", false, 2},
            {8, 16, 40, 409, 1, true, "ReLU", false, 1}, // a map just smaller than chainedMapValues
            {8, 16, DepthwiseConvolution::fusedWidth - 1, 607, 1, true, "ReLU", false, 0},
            {8, DepthwiseConvolution::fusedChannels + 1, 40, 101, 1, false, "ReLU", false, 0},
            {8, 16, 40, 410, 1, false, "ReLU", true, 0},
        };
        for (const auto &c : cases) {
            const auto before = ft::convolutionParams(c.inputs, c.inputs, 3, 1, 1, c.inputs, true, rng);
            const auto pointwise = ft::convolutionParams(c.inputs, c.channels, 1, 1, 0, 1, true, rng);
            const auto after = ft::convolutionParams(c.channels, c.channels, 3, 2, 1, c.channels, true, rng);
            cv::dnn::LayerParams activation = ft::activationParams(c.activation, c.channels, rng);
            cv::Mat input(std::vector<int>{c.batch, c.inputs, c.height, c.width}, CV_32F);
            rng.fill(input, cv::RNG::UNIFORM, -2, 2);
            const auto build = [&] {
                cv::dnn::Net net;
                if (c.depthwiseBefore)
                    net.addLayerToPrev("before", "Convolution", const_cast<cv::dnn::LayerParams &>(before));
                const int product =
                    net.addLayerToPrev("pointwise", "Convolution", const_cast<cv::dnn::LayerParams &>(pointwise));
                if (*c.activation)
                    net.addLayerToPrev("between", c.activation, activation);
                int last = net.addLayerToPrev("strided", "Convolution", const_cast<cv::dnn::LayerParams &>(after));
                if (*c.activation)
                    last = net.addLayerToPrev("after", c.activation, activation);
                if (c.secondReader) { // a sum of its output and the product's, cut to its size
                    cv::dnn::LayerParams pool;
                    pool.set("pool", "max");
                    pool.set("kernel_size", 1);
                    pool.set("stride", 2);
                    pool.set("ceil_mode", false);
                    const int pooled = net.addLayer("pooled", "Pooling", pool);
                    net.connect(product, 0, pooled, 0);
                    cv::dnn::LayerParams sum;
                    sum.set("operation", "sum");
                    const int summed = net.addLayer("sum", "Eltwise", sum);
                    net.connect(last, 0, summed, 0);
                    net.connect(pooled, 0, summed, 1);
                }
                return net;
            };
            const cv::dnn::MatShape shape(input.size.p, input.size.p + input.dims);
            cv::dnn::LayerFactory::registerLayer("Convolution", &depthwiseOrDenseLayer);
            cv::dnn::Net ours = build();
            for (const auto &name : ours.getLayerNames())
                ours.getLayer(name);
            cv::dnn::LayerFactory::unregisterLayer("Convolution");
            cv::dnn::Net reference = withOpenCvLayers(build);
            SCOPED_TRACE(set + ": " + std::to_string(c.inputs) + "→" + std::to_string(c.channels) + " on " +
                         std::to_string(c.width) + "x" + std::to_string(c.height) + " " + c.activation);
            EXPECT_EQ(DepthwiseConvolution::fuse(ours, shape), c.fused);
            const cv::Mat b = forward(reference, input, {}).front();
            for (const int n : {1, threadsUpTo(4)}) {
                cv::setNumThreads(n);
                const cv::Mat a = forward(ours, input, {}).front();
                ASSERT_EQ(a.total(), b.total());
                EXPECT_LE(cv::norm(a, b, cv::NORM_INF), 1e-4) << n << " threads";
                EXPECT_GT(cv::norm(a, cv::NORM_INF), 0.1); // something was computed
            }
        }
    }
    cv::setNumThreads(threads);
}

TEST(DenseConvolution, agreesWithOpenCvOnEveryShapeItTakes)
{
    // Every shape with each instruction set this processor has, as a processor
    // without the wider ones would compute it.
    // Threads enough that the small planes' output channels are shared out.
    const int threads = cv::getNumThreads();
    cv::setNumThreads(threadsUpTo(4));
    const auto sets = DenseConvolution::instructionSets();
    ASSERT_FALSE(sets.empty());
    EXPECT_EQ(sets.back(), "baseline");
    EXPECT_TRUE(DenseConvolution::create(cv::dnn::LayerParams(), "baseline").empty()); // no weights
    for (const auto &set : sets) {
        SCOPED_TRACE(set);
        forcedInstructionSet = set;
        cv::RNG rng(20261207);
        const struct
        {
            int inputs, outputs, kernel, stride, pad, width, height;
            bool bias, relu;
            int dilation = 1;
            bool scaled = false; // by an activation applied after the product, not as it is stored
        } cases[] = {
            {16, 32, 1, 1, 0, 40, 30, true, true},  // pointwise
            {5, 6, 1, 1, 0, 13, 11, false, false},  // ragged channels and columns
            {3, 16, 3, 2, 1, 64, 48, true, true},   // the detector's first layer
            {8, 12, 3, 1, 1, 20, 15, true, false},
            {7, 4, 3, 2, 1, 21, 17, false, true},   // odd sides reach the padding
            {4, 8, 5, 1, 2, 16, 12, true, false},
            {6, 5, 3, 1, 0, 12, 10, true, false},   // no padding
            {40, 6, 3, 1, 1, 5, 4, true, false},    // the detector's last layers: one ragged block
            {5, 7, 5, 2, 2, 19, 13, false, true},   // stride 2 with a wider border
            {16, 16, 3, 1, 2, 40, 30, true, false, 2}, // the detector's dilated layers
            {16, 16, 3, 1, 5, 40, 30, true, true, 5},
            {6, 5, 3, 2, 3, 23, 19, true, false, 3},   // dilated with stride 2
            {4, 3, 3, 1, 1, 17, 9, false, false, 2},   // less border than the dilation
            {64, 37, 1, 1, 0, 1, 1, true, true},       // pointwise on 1×1: the embedding's last
            {9, 6, 1, 1, 0, 3, 1, false, false},       // three columns
            {40, 24, 1, 1, 0, 7, 7, true, true},       // the embedding's 7×7: a one-column tail, channels shared out
            {24, 12, 1, 1, 0, 5, 4, true, false},      // blocks of fewer rows, a tail of two vectors
            {20, 6, 3, 1, 1, 9, 3, false, true},       // a bordered tail of one vector
            {40, 32, 1, 1, 0, 7, 7, true, false, 1, true},  // shared out by channels, each share scaled once
            {16, 32, 3, 1, 1, 10, 8, true, false, 1, true},
        };
        for (const auto &c : cases) {
            cv::dnn::LayerParams params;
            const int kernel[] = {c.kernel, c.kernel}, strides[] = {c.stride, c.stride};
            const int pads[] = {c.pad, c.pad, c.pad, c.pad}, dilations[] = {c.dilation, c.dilation};
            params.set("kernel_size", cv::dnn::DictValue::arrayInt(kernel, 2));
            params.set("stride", cv::dnn::DictValue::arrayInt(strides, 2));
            params.set("pad", cv::dnn::DictValue::arrayInt(pads, 4));
            params.set("dilation", cv::dnn::DictValue::arrayInt(dilations, 2));
            params.set("num_output", c.outputs);
            params.set("bias_term", c.bias);
            params.blobs.emplace_back(std::vector<int>{c.outputs, c.inputs, c.kernel, c.kernel}, CV_32F);
            if (c.bias)
                params.blobs.emplace_back(c.outputs, 1, CV_32F);
            for (auto &blob : params.blobs)
                rng.fill(blob, cv::RNG::UNIFORM, -1, 1);
            ASSERT_TRUE(DenseConvolution::handles(params));
            // A grouped convolution is not this layer's.
            cv::dnn::LayerParams grouped = params;
            grouped.set("group", 2);
            EXPECT_TRUE(DenseConvolution::create(grouped).empty());

            cv::Mat input(std::vector<int>{1, c.inputs, c.height, c.width}, CV_32F);
            rng.fill(input, cv::RNG::UNIFORM, -2, 2);

            const auto build = [&] {
                cv::dnn::Net net;
                net.addLayerToPrev("conv", "Convolution", params);
                cv::dnn::LayerParams relu;
                if (c.relu)
                    net.addLayerToPrev("relu", "ReLU", relu);
                cv::dnn::LayerParams power;
                power.set("scale", 0.5);
                power.set("shift", 0.25);
                if (c.scaled)
                    net.addLayerToPrev("power", "Power", power);
                return net;
            };
            cv::dnn::LayerFactory::registerLayer("Convolution", &denseLayer);
            cv::dnn::Net ours = build();
            for (const auto &name : ours.getLayerNames())
                ours.getLayer(name);
            cv::dnn::LayerFactory::unregisterLayer("Convolution");
            cv::dnn::Net reference = withOpenCvLayers(build);
            const cv::Mat a = forward(ours, input, {}).front();
            const cv::Mat b = forward(reference, input, {}).front();
            SCOPED_TRACE(std::to_string(c.kernel) + "x" + std::to_string(c.kernel) + " stride " + std::to_string(c.stride) +
                         " dilation " + std::to_string(c.dilation) + ", " + std::to_string(c.width) + "x" +
                         std::to_string(c.height));
            ASSERT_EQ(a.total(), b.total());
            EXPECT_LE(cv::norm(a, b, cv::NORM_INF), 1e-4);
            EXPECT_GT(cv::norm(a, cv::NORM_INF), 0.1); // something was computed
        }
    }
    cv::setNumThreads(threads);
}

TEST(DenseConvolution, bothNetworksGiveOpenCvsOutputs)
{
    // The application's layers (this one, the depthwise one, the copies, the softmax, the sums),
    // fused as OnnxNetwork fuses them, against OpenCV's alone, on a real face: boxes, scores and embedding to 1e-4.
    const auto paths = faciward::platform::FaceModels::Paths::standard();
    const cv::Mat face = ft::webcamFrame(ft::developmentPicture("johns/John_Simm/000288_00470387.jpg"));
    const struct
    {
        std::filesystem::path file;
        cv::Size size;
        std::vector<std::string> outputs;
        int fused; // depthwise layers left to the pointwise ones before or after them
    } networks[] = {{paths.faceDetector, {320, 240}, {"boxes", "scores"}, 5},
                    {paths.embeddingNetwork, {112, 112}, {"output"}, 1}};
    DepthwiseConvolution::install();
    CopyLayers::install();
    LastAxisSoftmax::install();
    EltwiseSum::install();
    for (const auto &n : networks) {
        const auto read = [&] { return cv::dnn::readNetFromONNX(n.file.string()); };
        cv::dnn::Net ours = read();
        cv::dnn::Net reference = withOpenCvLayers(read);
        const cv::Mat blob = cv::dnn::blobFromImage(face, 1.0 / 128, n.size, cv::Scalar::all(127));
        EXPECT_EQ(DepthwiseConvolution::fuse(ours, cv::dnn::MatShape(blob.size.p, blob.size.p + blob.dims)), n.fused);
        const auto a = forward(ours, blob, n.outputs);
        const auto b = forward(reference, blob, n.outputs);
        ASSERT_EQ(a.size(), n.outputs.size());
        for (std::size_t i = 0; i < a.size(); ++i)
            EXPECT_LE(cv::norm(a[i], b[i], cv::NORM_INF), 1e-4) << n.file << " " << n.outputs[i];
    }
}

TEST(CopyLayers, slicesAndJoinsAsOpenCvDoes)
{
    // Two cuts of one tensor joined again: along the last axis (the
    // detector's case), and along a middle one, cut with the first axis too.
    CopyLayers::install();
    cv::Mat input(std::vector<int>{2, 3, 4, 5}, CV_32F);
    cv::randu(input, -1, 1);
    const auto slice = [](const std::vector<int> &begin, const std::vector<int> &end) {
        cv::dnn::LayerParams p;
        p.set("begin", cv::dnn::DictValue::arrayInt(begin.data(), int(begin.size())));
        p.set("end", cv::dnn::DictValue::arrayInt(end.data(), int(end.size())));
        return p;
    };
    const struct
    {
        cv::dnn::LayerParams first, second;
        int axis;
    } cases[] = {{slice({0, 0, 0, 0}, {2, 3, 4, 2}), slice({0, 0, 0, 2}, {2, 3, 4, 5}), 3},
                 {slice({1, 0, 0}, {2, 3, 1}), slice({1, 0, 1}, {2, 3, 4}), 2}};
    for (const auto &c : cases) {
        const auto build = [&] {
            cv::dnn::Net net;
            cv::dnn::LayerParams join;
            join.set("axis", c.axis);
            const int a = net.addLayer("a", "Slice", const_cast<cv::dnn::LayerParams &>(c.first));
            const int b = net.addLayer("b", "Slice", const_cast<cv::dnn::LayerParams &>(c.second));
            const int joined = net.addLayer("c", "Concat", join);
            net.connect(0, 0, a, 0);
            net.connect(0, 0, b, 0);
            net.connect(a, 0, joined, 0);
            net.connect(b, 0, joined, 1);
            return net;
        };
        cv::dnn::Net ours = build();
        cv::dnn::Net reference = withOpenCvLayers(build);
        const auto x = forward(ours, input, {"a", "c"});
        const auto y = forward(reference, input, {"a", "c"});
        for (std::size_t i = 0; i < x.size(); ++i) {
            ASSERT_EQ(x[i].total(), y[i].total());
            EXPECT_EQ(cv::norm(x[i], y[i], cv::NORM_INF), 0) << "axis " << c.axis << " output " << i;
        }
    }
}
