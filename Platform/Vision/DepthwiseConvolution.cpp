#include "Platform/Vision/DepthwiseConvolution.h"

#include "Platform/Vision/DenseConvolution.h"
#include "Platform/Vision/OpenCvLayerShell.h"

#include <opencv2/core/utility.hpp>
#include <opencv2/dnn/all_layers.hpp>

#include <algorithm>
#include <mutex>
#include <vector>

namespace faciward::platform {

namespace {

// One channel: @p padded is the input plane with a border of one zero on
// every side, @p paddedWidth values a row.
[[gnu::always_inline]] inline void convolveChannelLoops(const float *padded, int paddedWidth, float *out,
                                                        int outHeight, int outWidth, int stride, const float *k,
                                                        float bias)
{
    for (int oy = 0; oy < outHeight; ++oy) {
        const float *r0 = padded + oy * stride * paddedWidth;
        const float *r1 = r0 + paddedWidth;
        const float *r2 = r1 + paddedWidth;
        float *o = out + oy * outWidth;
        if (stride == 1) {
            for (int x = 0; x < outWidth; ++x)
                o[x] = bias + k[0] * r0[x] + k[1] * r0[x + 1] + k[2] * r0[x + 2] + k[3] * r1[x] + k[4] * r1[x + 1] +
                       k[5] * r1[x + 2] + k[6] * r2[x] + k[7] * r2[x + 1] + k[8] * r2[x + 2];
        } else {
            for (int ox = 0; ox < outWidth; ++ox) {
                const int x = ox * stride;
                o[ox] = bias + k[0] * r0[x] + k[1] * r0[x + 1] + k[2] * r0[x + 2] + k[3] * r1[x] + k[4] * r1[x + 1] +
                        k[5] * r1[x + 2] + k[6] * r2[x] + k[7] * r2[x + 1] + k[8] * r2[x + 2];
            }
        }
    }
}

using ConvolveChannel = void (*)(const float *, int, float *, int, int, int, const float *, float);

void convolveChannelBaseline(const float *padded, int paddedWidth, float *out, int outHeight, int outWidth,
                             int stride, const float *k, float bias)
{
    convolveChannelLoops(padded, paddedWidth, out, outHeight, outWidth, stride, k, bias);
}

// The build targets the oldest x86-64; the same loops are also built for the
// wider vector units and picked by what the processor has. (Chosen at run
// time by hand rather than by the loader, which the sanitizers cannot follow.)
#if defined(__x86_64__) && defined(__GNUC__)
[[gnu::target("avx2")]] void convolveChannelAvx2(const float *padded, int paddedWidth, float *out, int outHeight,
                                                  int outWidth, int stride, const float *k, float bias)
{
    convolveChannelLoops(padded, paddedWidth, out, outHeight, outWidth, stride, k, bias);
}

[[gnu::target("avx512f")]] void convolveChannelAvx512(const float *padded, int paddedWidth, float *out,
                                                       int outHeight, int outWidth, int stride, const float *k,
                                                       float bias)
{
    convolveChannelLoops(padded, paddedWidth, out, outHeight, outWidth, stride, k, bias);
}
#endif

ConvolveChannel bestConvolveChannel()
{
#if defined(__x86_64__) && defined(__GNUC__)
    if (__builtin_cpu_supports("avx512f"))
        return &convolveChannelAvx512;
    if (__builtin_cpu_supports("avx2"))
        return &convolveChannelAvx2;
#endif
    return &convolveChannelBaseline;
}

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

class NarrowDepthwiseLayer final : public OpenCvLayerShell
{
public:
    explicit NarrowDepthwiseLayer(const cv::dnn::LayerParams &params)
        : OpenCvLayerShell(params, openCvConvolution(params))
        , m_stride(strideOf(params))
    {
        const cv::Mat &weights = params.blobs[0];
        m_channels = weights.size[0];
        m_weights.assign(weights.ptr<float>(), weights.ptr<float>() + std::size_t(m_channels) * 9);
        m_bias = biasOf(params, m_channels, std::size_t(m_channels));
    }

    void forward(cv::InputArrayOfArrays inputsArray, cv::OutputArrayOfArrays outputsArray,
                 cv::OutputArrayOfArrays internalsArray) override
    {
        cv::Mat in, out;
        if (!tensors(inputsArray, outputsArray, m_channels, m_channels, in, out) ||
            out.size[3] >= DepthwiseConvolution::narrowRow) {
            m_openCv->forward(inputsArray, outputsArray, internalsArray);
            return;
        }
        const int height = in.size[2], width = in.size[3];
        const int outHeight = out.size[2], outWidth = out.size[3];
        CV_Assert(outHeight == (height - 1) / m_stride + 1 && outWidth == (width - 1) / m_stride + 1);
        const int planes = in.size[0] * m_channels;
        const int paddedWidth = width + 2;
        static const ConvolveChannel convolve = bestConvolveChannel();

        cv::parallel_for_(cv::Range(0, planes), [&](const cv::Range &range) {
            std::vector<float> padded(std::size_t(height + 2) * paddedWidth, 0.f);
            for (int plane = range.start; plane < range.end; ++plane) {
                const int channel = plane % m_channels;
                const float *src = in.ptr<float>() + std::size_t(plane) * height * width;
                float *dst = out.ptr<float>() + std::size_t(plane) * outHeight * outWidth;
                for (int y = 0; y < height; ++y)
                    std::copy_n(src + y * width, width, padded.data() + (y + 1) * paddedWidth + 1);
                convolve(padded.data(), paddedWidth, dst, outHeight, outWidth, m_stride,
                                m_weights.data() + std::size_t(channel) * 9, m_bias[std::size_t(channel)]);
                if (m_activation)
                    m_activation->forwardSlice(dst, dst, outHeight * outWidth, std::size_t(outHeight) * outWidth,
                                               channel, channel + 1);
            }
        });
    }

private:
    int m_stride;
    int m_channels = 0;
    std::vector<float> m_weights; // channel × 3 × 3
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
        return cv::makePtr<NarrowDepthwiseLayer>(params);
    if (cv::Ptr<cv::dnn::Layer> dense = DenseConvolution::create(params))
        return dense;
    return cv::dnn::ConvolutionLayer::create(params);
}

bool DepthwiseConvolution::handles(const cv::dnn::LayerParams &params)
{
    if (params.blobs.empty())
        return false;
    const cv::Mat &weights = params.blobs[0];
    if (weights.dims != 4 || weights.type() != CV_32F || !weights.isContinuous() || weights.size[1] != 1 ||
        weights.size[2] != 3 || weights.size[3] != 3)
        return false;
    const int channels = weights.size[0];
    if (params.get<int>("group", 1) != channels || params.get<int>("num_output", channels) != channels)
        return false;
    if (params.blobs.size() > 1 &&
        (params.blobs[1].type() != CV_32F || params.blobs[1].total() != std::size_t(channels)))
        return false;
    if (params.has("pad_mode") && !params.get<cv::String>("pad_mode").empty())
        return false;
    const bool strideOk = allEqual(params, "stride", 1, 1) || allEqual(params, "stride", 2, 1);
    return strideOk && allEqual(params, "pad", 1, 0) && allEqual(params, "dilation", 1, 1);
}

} // namespace faciward::platform
