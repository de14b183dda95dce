#include "Platform/Vision/DepthwiseConvolution.h"

#include "Platform/Vision/DenseConvolution.h"
#include "Platform/Vision/OpenCvLayerShell.h"

#include <opencv2/core/utility.hpp>
#include <opencv2/dnn/all_layers.hpp>

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace faciward::platform {

namespace {

// out[j] = bias + Σ k[t] · taps[t][j] for j < count, then times @p slope
// where below zero (the activation folded in; 1: none). The taps read runs of
// consecutive values: of one output row (wide planes), or of a whole plane's
// bordered copy (narrow ones, see PlaneLayout).
[[gnu::always_inline]] inline void convolveChannelLoops(const float *const *taps, const float *k, float bias,
                                                        float *__restrict out, int count, float slope)
{
    const float *__restrict t0 = taps[0], *__restrict t1 = taps[1], *__restrict t2 = taps[2];
    const float *__restrict t3 = taps[3], *__restrict t4 = taps[4], *__restrict t5 = taps[5];
    const float *__restrict t6 = taps[6], *__restrict t7 = taps[7], *__restrict t8 = taps[8];
    const float k0 = k[0], k1 = k[1], k2 = k[2], k3 = k[3], k4 = k[4], k5 = k[5], k6 = k[6], k7 = k[7], k8 = k[8];
    // Three sums of three rather than one chain of nine: the chain's latency,
    // not the multiply-adds, would bound the loop.
    for (int j = 0; j < count; ++j) {
        const float top = bias + k0 * t0[j] + k1 * t1[j] + k2 * t2[j];
        const float middle = k3 * t3[j] + k4 * t4[j] + k5 * t5[j];
        const float bottom = k6 * t6[j] + k7 * t7[j] + k8 * t8[j];
        const float sum = top + middle + bottom;
        out[j] = sum < 0.f ? sum * slope : sum;
    }
}

using ConvolveChannel = void (*)(const float *const *, const float *, float, float *, int, float);

void convolveChannelBaseline(const float *const *taps, const float *k, float bias, float *out, int count, float slope)
{
    convolveChannelLoops(taps, k, bias, out, count, slope);
}

// The build targets the oldest x86-64; the same loops are also built for the
// wider vector units and picked by what the processor has. (Chosen at run
// time by hand rather than by the loader, which the sanitizers cannot follow.)
#if defined(__x86_64__) && defined(__GNUC__)
[[gnu::target("avx2,fma")]] void convolveChannelAvx2(const float *const *taps, const float *k, float bias, float *out,
                                                     int count, float slope)
{
    convolveChannelLoops(taps, k, bias, out, count, slope);
}

[[gnu::target("avx512f,fma")]] void convolveChannelAvx512(const float *const *taps, const float *k, float bias,
                                                          float *out, int count, float slope)
{
    convolveChannelLoops(taps, k, bias, out, count, slope);
}
#endif

ConvolveChannel bestConvolveChannel()
{
#if defined(__x86_64__) && defined(__GNUC__)
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("fma"))
        return &convolveChannelAvx512;
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))
        return &convolveChannelAvx2;
#endif
    return &convolveChannelBaseline;
}

// A row of @p width values, bordered with a zero on the left, split into its
// even bordered columns (the zero, then the odd x) and its odd ones (the even x).
void splitRow(const float *__restrict row, int width, float *__restrict evens, float *__restrict odds)
{
    const int pairs = width / 2;
    for (int i = 0; i < pairs; ++i) {
        odds[i] = row[2 * i];
        evens[i + 1] = row[2 * i + 1];
    }
    if (width % 2)
        odds[pairs] = row[width - 1];
}

// Output rows at least this wide are computed row by row, straight into the
// output, from input rows bordered as they are first needed; narrower planes
// as one loop over a bordered copy, which spares the many short rows' ends.
// Measured on the detector: the copy of a 120×160 plane leaves the first
// level cache, and row by row is a third faster there; at 40 values a row
// and less, the one loop is 30 to 50% faster.
constexpr int wideRow = 64;

// The input rows a wide plane's output rows read, each bordered with zeros
// (stride 1: [0, row, 0]) or split into its even columns and its odd ones
// behind a zero (stride 2), kept for the three output rows that read it.
class BorderedRows
{
public:
    BorderedRows(int stride, int width, int outWidth)
        : m_stride(stride)
        , m_width(width)
        , m_length(stride == 1 ? width + 2 : 2 * (outWidth + 1))
        , m_zeros(std::size_t(m_length), 0.f)
    {
        m_rows.assign(3 * std::size_t(m_length), 0.f);
    }

    /// Starts a plane.
    void reset() { m_held[0] = m_held[1] = m_held[2] = -1; }

    /// Row @p y of @p plane (height @p height), bordered; the zeros above and below.
    const float *row(const float *plane, int height, int y)
    {
        if (y < 0 || y >= height)
            return m_zeros.data();
        float *slot = m_rows.data() + std::size_t(y % 3) * m_length;
        if (m_held[y % 3] == y)
            return slot;
        m_held[y % 3] = y;
        const float *__restrict src = plane + std::size_t(y) * m_width;
        float *__restrict dst = slot;
        if (m_stride == 1) {
            std::copy_n(src, m_width, dst + 1);
            return slot;
        }
        // The odd bordered columns first, then the even ones.
        splitRow(src, m_width, dst + m_length / 2, dst);
        return slot;
    }

    /// The taps of one kernel row on bordered row @p r: three runs that
    /// output column x reads at x.
    void taps(const float *r, const float **out) const
    {
        if (m_stride == 1) {
            out[0] = r;
            out[1] = r + 1;
            out[2] = r + 2;
        } else {
            const float *evens = r + m_length / 2;
            out[0] = evens;
            out[1] = r;
            out[2] = evens + 1;
        }
    }

private:
    int m_stride, m_width, m_length;
    std::vector<float> m_zeros;
    std::vector<float> m_rows;
    int m_held[3] = {-1, -1, -1};
};

// Where one plane's taps read. Stride 1: the plane with a zero border, rows of
// width + 2 values. Stride 2: the bordered plane split into its four phases
// (even and odd rows by even and odd columns), so that a tap that skips every
// other value reads consecutive ones too.
struct PlaneLayout
{
    int stride, height, width, outHeight, outWidth;
    int rowLength;        // values a row in the copy (and in the flat output)
    std::size_t phase;    // values a phase (stride 2)
    std::size_t size;     // values of the copy, with slack for the dropped j

    PlaneLayout(int stride, int height, int width)
        : stride(stride)
        , height(height)
        , width(width)
        , outHeight((height - 1) / stride + 1)
        , outWidth((width - 1) / stride + 1)
    {
        if (stride == 1) {
            rowLength = width + 2;
            phase = 0;
            size = std::size_t(height + 3) * rowLength;
        } else {
            rowLength = (width + 3) / 2;
            phase = std::size_t((height + 3) / 2 + 1) * rowLength;
            size = 4 * phase;
        }
    }

    int count() const { return (outHeight - 1) * rowLength + outWidth; }

    void taps(const float *copy, const float *taps[9]) const
    {
        for (int ky = 0; ky < 3; ++ky) {
            for (int kx = 0; kx < 3; ++kx) {
                if (stride == 1)
                    taps[ky * 3 + kx] = copy + ky * rowLength + kx;
                else
                    taps[ky * 3 + kx] =
                        copy + std::size_t((ky % 2) * 2 + kx % 2) * phase + (ky / 2) * rowLength + kx / 2;
            }
        }
    }

    // @p copy (size() values) from the plane @p src.
    void fill(const float *src, float *copy) const
    {
        std::fill(copy, copy + size, 0.f);
        if (stride == 1) {
            for (int y = 0; y < height; ++y)
                std::copy_n(src + std::size_t(y) * width, width, copy + std::size_t(y + 1) * rowLength + 1);
            return;
        }
        // Bordered row r = y + 1 goes to phase row r / 2 of the even or odd rows.
        for (int y = 0; y < height; ++y) {
            const int r = y + 1;
            float *even = copy + std::size_t((r % 2) * 2) * phase + std::size_t(r / 2) * rowLength;
            splitRow(src + std::size_t(y) * width, width, even, even + phase);
        }
    }
};

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
        m_weights.assign(weights.ptr<float>(), weights.ptr<float>() + std::size_t(m_channels) * 9);
        m_bias = biasOf(params, m_channels, std::size_t(m_channels));
    }

    int stride() const { return m_stride; }
    int channels() const { return m_channels; }

    /// Leaves the work to the pointwise layer after it, which computes
    /// computeRows(); @p activationAfter: whether an activation layer lies
    /// between the two, which OpenCV must fold into this one.
    void defer(bool activationAfter)
    {
        m_deferred = true;
        m_activationAfter = activationAfter;
    }

    // Deferred, the output is the input itself, in its buffer when OpenCV
    // can give it that (the input has no other reader).
    bool getMemoryShapes(const std::vector<cv::dnn::MatShape> &inputs, int requiredOutputs,
                         std::vector<cv::dnn::MatShape> &outputs,
                         std::vector<cv::dnn::MatShape> &internals) const override
    {
        const bool inPlace = OpenCvLayerShell::getMemoryShapes(inputs, requiredOutputs, outputs, internals);
        return m_deferred || inPlace;
    }

    void computeRows(const float *plane, int height, int width, int channel, int firstRow, int lastRow,
                     float *out) const override
    {
        static const ConvolveChannel convolve = bestConvolveChannel();
        const float *k = m_weights.data() + std::size_t(channel) * 9;
        const float bias = m_bias[std::size_t(channel)];
        const bool inlineActivation = m_inlineActivation && slopesFit(m_channels);
        const float slope = inlineActivation ? negativeSlope(channel) : 1.f;
        // The input rows the output rows read, bordered with zeros; each
        // output row is then one loop over three runs of them.
        const int rows = lastRow - firstRow, rowLength = width + 2;
        thread_local std::vector<float> band;
        band.resize(std::size_t(rows + 2) * rowLength);
        for (int r = 0; r < rows + 2; ++r) {
            float *to = band.data() + std::size_t(r) * rowLength;
            const int y = firstRow - 1 + r;
            to[0] = to[width + 1] = 0.f;
            if (y >= 0 && y < height)
                std::copy_n(plane + std::size_t(y) * width, width, to + 1);
            else
                std::fill_n(to + 1, width, 0.f);
        }
        for (int r = 0; r < rows; ++r) {
            const float *taps[9];
            for (int ky = 0; ky < 3; ++ky) {
                for (int kx = 0; kx < 3; ++kx)
                    taps[ky * 3 + kx] = band.data() + std::size_t(r + ky) * rowLength + kx;
            }
            convolve(taps, k, bias, out + std::size_t(r) * width, width, slope);
        }
        if (m_activation && !inlineActivation)
            m_activation->forwardSlice(out, out, rows * width, std::size_t(rows) * width, channel, channel + 1);
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
        const PlaneLayout layout(m_stride, in.size[2], in.size[3]);
        CV_Assert(out.size[2] == layout.outHeight && out.size[3] == layout.outWidth);
        const int planes = in.size[0] * m_channels;
        static const ConvolveChannel convolve = bestConvolveChannel();

        const std::size_t planeSize = std::size_t(layout.outHeight) * layout.outWidth;
        const bool wide = layout.outWidth >= wideRow;
        const bool inlineActivation = m_inlineActivation && slopesFit(m_channels);

        cv::parallel_for_(cv::Range(0, planes), [&](const cv::Range &range) {
            thread_local std::vector<float> copy, flat;
            std::optional<BorderedRows> rows;
            const float *taps[9];
            if (wide) {
                rows.emplace(m_stride, layout.width, layout.outWidth);
            } else {
                copy.resize(layout.size);
                flat.resize(std::size_t(layout.outHeight) * layout.rowLength);
                layout.taps(copy.data(), taps);
            }
            for (int plane = range.start; plane < range.end; ++plane) {
                const int channel = plane % m_channels;
                const float *src = in.ptr<float>() + std::size_t(plane) * layout.height * layout.width;
                const float *k = m_weights.data() + std::size_t(channel) * 9;
                const float bias = m_bias[std::size_t(channel)];
                const float slope = inlineActivation ? negativeSlope(channel) : 1.f;
                float *dst = out.ptr<float>() + std::size_t(plane) * planeSize;
                if (wide) {
                    rows->reset();
                    for (int oy = 0; oy < layout.outHeight; ++oy) {
                        for (int ky = 0; ky < 3; ++ky)
                            rows->taps(rows->row(src, layout.height, oy * m_stride - 1 + ky), taps + 3 * ky);
                        convolve(taps, k, bias, dst + std::size_t(oy) * layout.outWidth, layout.outWidth, slope);
                    }
                } else {
                    layout.fill(src, copy.data());
                    convolve(taps, k, bias, flat.data(), layout.count(), slope);
                    for (int y = 0; y < layout.outHeight; ++y)
                        std::copy_n(flat.data() + std::size_t(y) * layout.rowLength, layout.outWidth,
                                    dst + std::size_t(y) * layout.outWidth);
                }
                if (m_activation && !inlineActivation)
                    m_activation->forwardSlice(dst, dst, int(planeSize), planeSize, channel, channel + 1);
            }
        });
    }

private:
    int m_stride;
    bool m_deferred = false, m_activationAfter = false;
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
        if (!depthwise || depthwise->stride() != 1 || depthwise->channels() > fusedChannels)
            continue;
        std::vector<cv::dnn::MatShape> in, out;
        net.getLayerShapes(inputShape, id, in, out);
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
