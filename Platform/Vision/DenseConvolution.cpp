#include "Platform/Vision/DenseConvolution.h"

#include "Platform/Vision/OpenCvLayerShell.h"

#include <opencv2/core/utility.hpp>
#include <opencv2/dnn/all_layers.hpp>

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace faciward::platform {

namespace {

// Eight floats: one register of the wide vector units, two of the narrow ones.
typedef float Vec8 __attribute__((vector_size(32)));
typedef float UnalignedVec8 __attribute__((vector_size(32), aligned(4)));

// A register block of the product: this many output channels by this many
// output columns (three vectors), twelve accumulators in all.
constexpr int blockRows = 4;
constexpr int blockColumns = 24;
// Output columns per parallel task: enough work to be worth handing out.
constexpr int stripeColumns = 8 * blockColumns;
// Below this many output columns a layer is mostly ragged edges, which
// OpenCV's own layer computes faster (the detector's last 5×4 layers: by half).
constexpr int fewestColumns = 2 * blockColumns;

// out[r][0, blockColumns) = bias[r] + Σk weights[k][r] · columns[k][0, blockColumns)
// for r < rows; @p weights holds blockRows values for each k.
[[gnu::always_inline]] inline void multiplyBlockLoops(const float *weights, const float *columns, std::size_t stride,
                                                      int depth, const float *bias, float *out, std::size_t outStride,
                                                      int rows)
{
    Vec8 acc[blockRows][3];
    for (int r = 0; r < blockRows; ++r) {
        const float b = r < rows ? bias[r] : 0.f;
        for (int v = 0; v < 3; ++v)
            acc[r][v] = Vec8{} + b;
    }
    for (int k = 0; k < depth; ++k) {
        const float *c = columns + std::size_t(k) * stride;
        const Vec8 c0 = *reinterpret_cast<const UnalignedVec8 *>(c);
        const Vec8 c1 = *reinterpret_cast<const UnalignedVec8 *>(c + 8);
        const Vec8 c2 = *reinterpret_cast<const UnalignedVec8 *>(c + 16);
        const float *w = weights + std::size_t(k) * blockRows;
        for (int r = 0; r < blockRows; ++r) {
            acc[r][0] += c0 * w[r];
            acc[r][1] += c1 * w[r];
            acc[r][2] += c2 * w[r];
        }
    }
    for (int r = 0; r < rows; ++r) {
        for (int v = 0; v < 3; ++v)
            *reinterpret_cast<UnalignedVec8 *>(out + std::size_t(r) * outStride + 8 * v) = acc[r][v];
    }
}

using MultiplyBlock = void (*)(const float *, const float *, std::size_t, int, const float *, float *, std::size_t,
                               int);

void multiplyBlockBaseline(const float *weights, const float *columns, std::size_t stride, int depth,
                           const float *bias, float *out, std::size_t outStride, int rows)
{
    multiplyBlockLoops(weights, columns, stride, depth, bias, out, outStride, rows);
}

// As DepthwiseConvolution: built again for the wider vector units, picked at
// run time by what the processor has.
#if defined(__x86_64__) && defined(__GNUC__)
[[gnu::target("avx2,fma")]] void multiplyBlockAvx2(const float *weights, const float *columns, std::size_t stride,
                                                   int depth, const float *bias, float *out, std::size_t outStride,
                                                   int rows)
{
    multiplyBlockLoops(weights, columns, stride, depth, bias, out, outStride, rows);
}
#endif

MultiplyBlock bestMultiplyBlock()
{
#if defined(__x86_64__) && defined(__GNUC__)
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))
        return &multiplyBlockAvx2;
#endif
    return &multiplyBlockBaseline;
}

// The one value of every entry of @p key, or @p absent when there is none.
std::optional<int> uniformValue(const cv::dnn::LayerParams &params, const char *key, int absent)
{
    if (!params.has(key))
        return absent;
    const cv::dnn::DictValue &value = params.get(key);
    if (value.size() < 1 || !value.isInt())
        return std::nullopt;
    const int first = value.get<int>(0);
    for (int i = 1; i < value.size(); ++i) {
        if (value.get<int>(i) != first)
            return std::nullopt;
    }
    return first;
}

class DenseConvolutionLayer final : public OpenCvLayerShell
{
public:
    explicit DenseConvolutionLayer(const cv::dnn::LayerParams &params)
        : OpenCvLayerShell(params, openCvConvolution(params))
    {
        const cv::Mat &weights = params.blobs[0];
        m_outputs = weights.size[0];
        m_inputs = weights.size[1];
        m_kernel = weights.size[2];
        m_stride = *uniformValue(params, "stride", 1);
        m_pad = *uniformValue(params, "pad", 0);
        m_depth = m_inputs * m_kernel * m_kernel;

        // Weights by blocks of output channels, each laid out depth-first, so
        // that the product reads them in order; missing channels are zero.
        const int blocks = (m_outputs + blockRows - 1) / blockRows;
        m_packed.assign(std::size_t(blocks) * m_depth * blockRows, 0.f);
        const float *w = weights.ptr<float>();
        for (int o = 0; o < m_outputs; ++o) {
            for (int k = 0; k < m_depth; ++k)
                m_packed[(std::size_t(o / blockRows) * m_depth + k) * blockRows + o % blockRows] =
                    w[std::size_t(o) * m_depth + k];
        }
        m_bias = biasOf(params, m_outputs, std::size_t(blocks) * blockRows);
    }

    void forward(cv::InputArrayOfArrays inputsArray, cv::OutputArrayOfArrays outputsArray,
                 cv::OutputArrayOfArrays internalsArray) override
    {
        cv::Mat in, out;
        if (!tensors(inputsArray, outputsArray, m_inputs, m_outputs, in, out) ||
            std::size_t(out.size[2]) * out.size[3] < std::size_t(fewestColumns)) {
            m_openCv->forward(inputsArray, outputsArray, internalsArray);
            return;
        }
        const Shape shape{in.size[2], in.size[3], out.size[2], out.size[3]};
        CV_Assert(shape.outHeight == (shape.height + 2 * m_pad - m_kernel) / m_stride + 1 &&
                  shape.outWidth == (shape.width + 2 * m_pad - m_kernel) / m_stride + 1);
        const int columns = shape.outHeight * shape.outWidth;
        const int stripes = (columns + stripeColumns - 1) / stripeColumns;
        for (int image = 0; image < in.size[0]; ++image) {
            const float *src = in.ptr<float>(image);
            float *dst = out.ptr<float>(image);
            cv::parallel_for_(cv::Range(0, stripes), [&](const cv::Range &range) {
                for (int s = range.start; s < range.end; ++s) {
                    const int first = s * stripeColumns;
                    computeStripe(src, dst, shape, first, std::min(columns, first + stripeColumns));
                }
            });
        }
    }

private:
    struct Shape
    {
        int height, width, outHeight, outWidth;
    };

    bool pointwise() const { return m_kernel == 1 && m_stride == 1 && m_pad == 0; }

    // Output columns [first, last) of every output channel.
    void computeStripe(const float *src, float *dst, const Shape &shape, int first, int last) const
    {
        static const MultiplyBlock multiply = bestMultiplyBlock();
        const std::size_t planeSize = std::size_t(shape.outHeight) * shape.outWidth;
        const int count = last - first;
        // The product's right side: the input itself, or its patches.
        thread_local std::vector<float> patches;
        const float *columns = src + first;
        std::size_t stride = std::size_t(shape.height) * shape.width;
        if (!pointwise()) {
            stride = std::size_t(count);
            patches.resize(std::size_t(m_depth) * stride);
            gatherPatches(src, shape, first, last, patches.data());
            columns = patches.data();
        }
        const int blocks = (m_outputs + blockRows - 1) / blockRows;
        float tail[blockRows * blockColumns];
        thread_local std::vector<float> tailColumns;
        for (int j = 0; j < count; j += blockColumns) {
            const int width = std::min(blockColumns, count - j);
            const float *right = columns + j;
            std::size_t rightStride = stride;
            if (width < blockColumns) {
                // The last columns, padded to a whole block.
                tailColumns.assign(std::size_t(m_depth) * blockColumns, 0.f);
                for (int k = 0; k < m_depth; ++k)
                    std::copy_n(right + std::size_t(k) * stride, width, tailColumns.data() + k * blockColumns);
                right = tailColumns.data();
                rightStride = blockColumns;
            }
            for (int b = 0; b < blocks; ++b) {
                const int rows = std::min(blockRows, m_outputs - b * blockRows);
                const float *weights = m_packed.data() + std::size_t(b) * m_depth * blockRows;
                float *o = dst + std::size_t(b) * blockRows * planeSize + first + j;
                if (width == blockColumns) {
                    multiply(weights, right, rightStride, m_depth, m_bias.data() + b * blockRows, o, planeSize,
                             rows);
                } else {
                    multiply(weights, right, rightStride, m_depth, m_bias.data() + b * blockRows, tail,
                             blockColumns, rows);
                    for (int r = 0; r < rows; ++r)
                        std::copy_n(tail + r * blockColumns, width, o + std::size_t(r) * planeSize);
                }
            }
        }
        if (m_activation)
            m_activation->forwardSlice(dst + first, dst + first, count, planeSize, 0, m_outputs);
    }

    // The patch of every output column in [first, last): one row per input
    // channel and kernel position, zero where the patch reaches past the input.
    void gatherPatches(const float *src, const Shape &shape, int first, int last, float *patches) const
    {
        const std::size_t count = std::size_t(last - first);
        for (int c = 0; c < m_inputs; ++c) {
            const float *plane = src + std::size_t(c) * shape.height * shape.width;
            for (int ky = 0; ky < m_kernel; ++ky) {
                for (int kx = 0; kx < m_kernel; ++kx) {
                    float *row = patches + ((std::size_t(c) * m_kernel + ky) * m_kernel + kx) * count;
                    for (int index = first; index < last;) {
                        const int oy = index / shape.outWidth;
                        const int ox0 = index % shape.outWidth;
                        const int ox1 = std::min(shape.outWidth, ox0 + (last - index));
                        float *d = row + (index - first);
                        const int iy = oy * m_stride - m_pad + ky;
                        // The columns whose patch lies inside the input's width.
                        const int inside0 = std::clamp((m_pad - kx + m_stride - 1) / m_stride, ox0, ox1);
                        const int inside1 =
                            std::clamp((shape.width - 1 + m_pad - kx) / m_stride + 1, inside0, ox1);
                        if (iy < 0 || iy >= shape.height) {
                            std::fill(d, d + (ox1 - ox0), 0.f);
                        } else {
                            std::fill(d, d + (inside0 - ox0), 0.f);
                            const float *line = plane + std::size_t(iy) * shape.width - m_pad + kx;
                            float *inside = d + (inside0 - ox0);
                            if (m_stride == 1) {
                                std::copy(line + inside0, line + inside1, inside);
                            } else {
                                for (int ox = inside0; ox < inside1; ++ox)
                                    inside[ox - inside0] = line[ox * m_stride];
                            }
                            std::fill(d + (inside1 - ox0), d + (ox1 - ox0), 0.f);
                        }
                        index += ox1 - ox0;
                    }
                }
            }
        }
    }

    int m_outputs = 0, m_inputs = 0, m_kernel = 1, m_stride = 1, m_pad = 0, m_depth = 0;
    std::vector<float> m_packed; // output-channel blocks × depth × blockRows
    std::vector<float> m_bias;   // padded to whole blocks
};

} // namespace

cv::Ptr<cv::dnn::Layer> DenseConvolution::create(const cv::dnn::LayerParams &params)
{
    if (!handles(params))
        return {};
    return cv::makePtr<DenseConvolutionLayer>(params);
}

bool DenseConvolution::handles(const cv::dnn::LayerParams &params)
{
    if (params.blobs.empty())
        return false;
    const cv::Mat &weights = params.blobs[0];
    if (weights.dims != 4 || weights.type() != CV_32F || !weights.isContinuous() || weights.size[2] != weights.size[3])
        return false;
    const int outputs = weights.size[0];
    if (params.get<int>("group", 1) != 1 || params.get<int>("num_output", outputs) != outputs)
        return false;
    if (params.blobs.size() > 1 &&
        (params.blobs[1].type() != CV_32F || params.blobs[1].total() != std::size_t(outputs)))
        return false;
    if (params.has("pad_mode") && !params.get<cv::String>("pad_mode").empty())
        return false;
    const auto stride = uniformValue(params, "stride", 1);
    const auto pad = uniformValue(params, "pad", 0);
    const auto dilation = uniformValue(params, "dilation", 1);
    if (params.has("kernel_size")) {
        const auto kernel = uniformValue(params, "kernel_size", 0);
        if (kernel != weights.size[2])
            return false;
    }
    return stride && *stride >= 1 && pad && *pad >= 0 && *pad < weights.size[2] && dilation == 1;
}

} // namespace faciward::platform
