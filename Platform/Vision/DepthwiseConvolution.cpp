#include "Platform/Vision/DepthwiseConvolution.h"

#include "Platform/Vision/DenseConvolution.h"
#include "Platform/Vision/DepthwiseKernel.h"
#include "Platform/Vision/OpenCvLayerShell.h"

#include <opencv2/core/utility.hpp>
#include <opencv2/dnn/all_layers.hpp>

#include <algorithm>
#include <map>
#include <mutex>
#include <vector>

namespace faciward::platform {

namespace {

bool allEqual(const cv::dnn::LayerParams &params, const char *key, int expected, int defaultValue)
{
    if (!params.has(key))
        return expected == defaultValue;
    const cv::dnn::DictValue &value = params.get(key);
    if (value.size() < 1 || !value.isInt())
        return false;
    for (int i = 0; i < value.size(); ++i) {
        if (value.get<int>(i) != expected)
            return false;
    }
    return true;
}

int strideOf(const cv::dnn::LayerParams &params)
{
    return params.has("stride") ? params.get("stride").get<int>(0) : 1;
}

class DepthwiseLayer final : public OpenCvLayerShell, public DepthwiseStage
{
public:
    explicit DepthwiseLayer(const cv::dnn::LayerParams &params)
        : OpenCvLayerShell(params, openCvConvolution(params))
        , m_stride(strideOf(params))
    {
        const cv::Mat &weights = params.blobs[0];
        m_channels = weights.size[0];
        m_kernel = weights.size[2];
        m_weights.assign(weights.ptr<float>(), weights.ptr<float>() + weights.total());
        m_bias = biasOf(params, m_channels, std::size_t(m_channels));
    }

    int stride() const { return m_stride; }
    int kernel() const { return m_kernel; }
    int channels() const { return m_channels; }

    /// Leaves the work to the pointwise layer after it, which computes
    /// computeRows(); @p activationAfter: whether an activation layer lies
    /// between the two, which OpenCV must fold into this one.
    void defer(bool activationAfter)
    {
        m_deferred = true;
        m_activationAfter = activationAfter;
    }

    /// Leaves the work to the pointwise layer before it, which computes
    /// computeRows() on its own results a band at a time and gives this
    /// layer's output.
    void deferToPrevious()
    {
        m_deferred = true;
        m_chained = true;
    }

    // Deferred, the output is the input itself, in its buffer when OpenCV
    // can give it that (the input has no other reader).
    bool getMemoryShapes(const std::vector<cv::dnn::MatShape> &inputs, int requiredOutputs,
                         std::vector<cv::dnn::MatShape> &outputs,
                         std::vector<cv::dnn::MatShape> &internals) const override
    {
        const bool inPlace = OpenCvLayerShell::getMemoryShapes(inputs, requiredOutputs, outputs, internals);
        // Left to the pointwise layer before it, which gives this layer's
        // output shape already.
        if (m_deferred && m_chained)
            outputs = inputs;
        return m_deferred || inPlace;
    }

    void computeRows(const float *plane, int height, int width, int channel, int firstRow, int lastRow,
                     float *out) const override
    {
        static const DepthwiseKernel::Function convolve = DepthwiseKernel::best();
        const bool inlineActivation = m_inlineActivation && slopesFit(m_channels);
        const float slope = inlineActivation ? negativeSlope(channel) : 1.f;
        convolve({plane, height, width, m_stride, firstRow, lastRow, m_weights.data() + std::size_t(channel) * 9,
                  m_bias[std::size_t(channel)], slope, out});
        const int values = (lastRow - firstRow) * ((width - 1) / m_stride + 1);
        if (m_activation && !inlineActivation)
            m_activation->forwardSlice(out, out, values, std::size_t(values), channel, channel + 1);
    }

    void forward(cv::InputArrayOfArrays inputsArray, cv::OutputArrayOfArrays outputsArray,
                 cv::OutputArrayOfArrays internalsArray) override
    {
        cv::Mat in, out;
        if (m_deferred) {
            // OpenCV folds an activation into the layer before it, here this
            // one; one it ran on its own would change the input in place.
            if (m_activationAfter && !m_activation)
                CV_Error(cv::Error::StsError, "a fused depthwise layer's activation was not folded into it");
            std::vector<cv::Mat> inputs, outputs;
            inputsArray.getMatVector(inputs);
            outputsArray.getMatVector(outputs);
            CV_Assert(inputs.size() == 1 && outputs.size() == 1);
            if (outputs[0].data != inputs[0].data)
                inputs[0].copyTo(outputs[0]);
            return;
        }
        if (!tensors(inputsArray, outputsArray, m_channels, m_channels, in, out)) {
            m_openCv->forward(inputsArray, outputsArray, internalsArray);
            return;
        }
        if (m_kernel != 3) {
            if (!wholePlanes(in, out))
                m_openCv->forward(inputsArray, outputsArray, internalsArray);
            return;
        }
        const int height = in.size[2], width = in.size[3];
        const int outHeight = (height - 1) / m_stride + 1, outWidth = (width - 1) / m_stride + 1;
        CV_Assert(out.size[2] == outHeight && out.size[3] == outWidth);
        const int planes = in.size[0] * m_channels;
        static const DepthwiseKernel::Function convolve = DepthwiseKernel::best();
        const std::size_t planeSize = std::size_t(outHeight) * outWidth;
        const bool inlineActivation = m_inlineActivation && slopesFit(m_channels);

        cv::parallel_for_(cv::Range(0, planes), [&](const cv::Range &range) {
            for (int plane = range.start; plane < range.end; ++plane) {
                const int channel = plane % m_channels;
                float *dst = out.ptr<float>() + std::size_t(plane) * planeSize;
                convolve({in.ptr<float>() + std::size_t(plane) * height * width, height, width, m_stride, 0, outHeight,
                          m_weights.data() + std::size_t(channel) * 9, m_bias[std::size_t(channel)],
                          inlineActivation ? negativeSlope(channel) : 1.f, dst});
                if (m_activation && !inlineActivation)
                    m_activation->forwardSlice(dst, dst, int(planeSize), planeSize, channel, channel + 1);
            }
        });
    }

private:
    // A kernel as large as the plane: one sum a channel (the embedding
    // network's last depthwise layer, 512 channels of 7×7, which OpenCV's
    // generic loops took 0.07 ms for). False, having written nothing, for a
    // plane of another size.
    bool wholePlanes(const cv::Mat &in, cv::Mat &out) const
    {
        if (in.size[2] != m_kernel || in.size[3] != m_kernel || out.size[2] != 1 || out.size[3] != 1)
            return false;
        const int taps = m_kernel * m_kernel, planes = in.size[0] * m_channels;
        const bool inlineActivation = m_inlineActivation && slopesFit(m_channels);
        for (int plane = 0; plane < planes; ++plane) {
            const int channel = plane % m_channels;
            const float *x = in.ptr<float>() + std::size_t(plane) * taps;
            const float *w = m_weights.data() + std::size_t(channel) * taps;
            // Eight sums side by side, which the compiler makes one vector.
            float partial[8] = {};
            int t = 0;
            for (; t + 8 <= taps; t += 8) {
                for (int j = 0; j < 8; ++j)
                    partial[j] += w[t + j] * x[t + j];
            }
            float sum = m_bias[std::size_t(channel)];
            for (; t < taps; ++t)
                sum += w[t] * x[t];
            for (const float p : partial)
                sum += p;
            float *dst = out.ptr<float>() + plane;
            *dst = inlineActivation && sum < 0.f ? sum * negativeSlope(channel) : sum;
            if (m_activation && !inlineActivation)
                m_activation->forwardSlice(dst, dst, 1, 1, channel, channel + 1);
        }
        return true;
    }

    int m_stride, m_kernel = 3;
    bool m_deferred = false, m_activationAfter = false, m_chained = false;
    int m_channels = 0;
    std::vector<float> m_weights; // channel × kernel × kernel
    std::vector<float> m_bias;
};

} // namespace

void DepthwiseConvolution::install()
{
    static std::once_flag once;
    std::call_once(once, [] { cv::dnn::LayerFactory::registerLayer("Convolution", &DepthwiseConvolution::create); });
}

cv::Ptr<cv::dnn::Layer> DepthwiseConvolution::create(cv::dnn::LayerParams &params)
{
    if (handles(params))
        return cv::makePtr<DepthwiseLayer>(params);
    if (cv::Ptr<cv::dnn::Layer> dense = DenseConvolution::create(params))
        return dense;
    return cv::dnn::ConvolutionLayer::create(params);
}

int DepthwiseConvolution::fuse(cv::dnn::Net &net, const cv::dnn::MatShape &inputShape)
{
    int fused = 0;
    // Who reads each layer's output.
    const std::vector<cv::String> names = net.getLayerNames();
    std::map<int, std::vector<int>> readers;
    for (const auto &name : names) {
        const int id = net.getLayerId(name);
        for (const auto &input : net.getLayerInputs(id))
            readers[net.getLayerId(input->name)].push_back(id);
    }
    const auto onlyReader = [&](int id) {
        const auto found = readers.find(id);
        return found != readers.end() && found->second.size() == 1 ? found->second.front() : -1;
    };
    for (const auto &name : names) {
        const int id = net.getLayerId(name);
        const cv::Ptr<cv::dnn::Layer> layer = net.getLayer(id);
        const auto depthwise = layer.dynamicCast<DepthwiseLayer>();
        if (!depthwise || depthwise->kernel() != 3 || depthwise->channels() > fusedChannels)
            continue;
        std::vector<cv::dnn::MatShape> in, out;
        net.getLayerShapes(inputShape, id, in, out);
        if (depthwise->stride() != 1) {
            // Chained after the pointwise layer that alone gives its input
            // (through an activation or not), which then never stores its
            // own, larger, feature map.
            const auto inputs = net.getLayerInputs(id);
            if (in.size() != 1 || in[0].size() != 4 || in[0][3] < fusedWidth || inputs.size() != 1)
                continue;
            if (std::size_t(in[0][1]) * in[0][2] * in[0][3] < std::size_t(chainedMapValues))
                continue;
            int previous = net.getLayerId(inputs[0]->name);
            if (onlyReader(previous) != id)
                continue;
            bool activationBetween = false;
            if (net.getLayer(previous).dynamicCast<cv::dnn::ActivationLayer>()) { // which OpenCV folds into that one
                const auto before = net.getLayerInputs(previous);
                if (before.size() != 1 || onlyReader(net.getLayerId(before[0]->name)) != previous)
                    continue;
                activationBetween = true;
                previous = net.getLayerId(before[0]->name);
            }
            if (DenseConvolution::chain(net.getLayer(previous), depthwise->channels(), depthwise.get(), layer,
                                        activationBetween)) {
                depthwise->deferToPrevious();
                ++fused;
            }
            continue;
        }
        if (out.size() != 1 || out[0].size() != 4 || out[0][3] < fusedWidth)
            continue;
        // Its input read by it alone, so that passing it through costs nothing.
        const auto inputs = net.getLayerInputs(id);
        if (inputs.size() != 1 || onlyReader(net.getLayerId(inputs[0]->name)) != id)
            continue;
        int next = onlyReader(id);
        bool activationAfter = false;
        if (next >= 0) {
            const cv::Ptr<cv::dnn::Layer> between = net.getLayer(next);
            if (between.dynamicCast<cv::dnn::ActivationLayer>()) { // which OpenCV folds into this one
                activationAfter = true;
                next = onlyReader(next);
            }
        }
        if (next < 0)
            continue;
        const cv::Ptr<cv::dnn::Layer> pointwise = net.getLayer(next);
        if (DenseConvolution::absorb(pointwise, depthwise->channels(), depthwise.get(), layer)) {
            depthwise->defer(activationAfter);
            ++fused;
        }
    }
    return fused;
}

bool DepthwiseConvolution::handles(const cv::dnn::LayerParams &params)
{
    if (params.blobs.empty())
        return false;
    const cv::Mat &weights = params.blobs[0];
    if (weights.dims != 4 || weights.type() != CV_32F || !weights.isContinuous() || weights.size[1] != 1 ||
        weights.size[2] != weights.size[3])
        return false;
    const int channels = weights.size[0];
    if (params.get<int>("group", 1) != channels || params.get<int>("num_output", channels) != channels)
        return false;
    if (params.blobs.size() > 1 &&
        (params.blobs[1].type() != CV_32F || params.blobs[1].total() != std::size_t(channels)))
        return false;
    if (params.has("pad_mode") && !params.get<cv::String>("pad_mode").empty())
        return false;
    if (!allEqual(params, "dilation", 1, 1))
        return false;
    if (weights.size[2] == 3) {
        const bool strideOk = allEqual(params, "stride", 1, 1) || allEqual(params, "stride", 2, 1);
        return strideOk && allEqual(params, "pad", 1, 0);
    }
    // Larger kernels only unpadded, computed when they cover the whole plane.
    return weights.size[2] > 3 && allEqual(params, "pad", 0, 0);
}

} // namespace faciward::platform
