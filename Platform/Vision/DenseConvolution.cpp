#include "Platform/Vision/DenseConvolution.h"

#include "Platform/Vision/DepthwiseConvolution.h"
#include "Platform/Vision/OpenCvLayerShell.h"
#include "Platform/Vision/VectorUnit.h"

#include <opencv2/core/utility.hpp>
#include <opencv2/dnn/all_layers.hpp>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace faciward::platform {

namespace {

// One register of the narrow vector units, of the wide ones, and of the
// widest.
typedef float Vec4 __attribute__((vector_size(16)));
typedef float Vec8 __attribute__((vector_size(32)));
typedef float Vec16 __attribute__((vector_size(64)));
// The output channels of a register block, side by side.
template <int Rows> struct RowsVector;
template <> struct RowsVector<4>
{
    typedef Vec4 type;
};
template <> struct RowsVector<8>
{
    typedef Vec8 type;
};
// Each of them at any float's address. (Copied with memcpy instead, the
// narrower ones' blocks were kept in memory rather than in registers.)
template <typename Vec> struct Unaligned;
template <> struct Unaligned<Vec4>
{
    typedef float type __attribute__((vector_size(16), aligned(4)));
};
template <> struct Unaligned<Vec8>
{
    typedef float type __attribute__((vector_size(32), aligned(4)));
};
template <> struct Unaligned<Vec16>
{
    typedef float type __attribute__((vector_size(64), aligned(4)));
};

// The most output channels and columns of any register block below.
constexpr int widestRows = 8;
constexpr int widestColumns = 48;
// Output columns per parallel task: enough work to be worth handing out, and
// whole blocks of every kernel below.
constexpr int stripeColumns = 192;
// Pointwise layers on fewer output columns than this are computed as products
// by weights rows, one column at a time.
constexpr int fewestColumns = 4;
// Values, about, of the depthwise results that a fused pointwise layer
// computes for a band of whole rows before their product: they stay in the
// first level cache.
constexpr int fusedValues = 8192;
// Values, about, of a chained pointwise layer's results that a band of the
// stride-2 depthwise layer after it reads: they stay in the second level
// cache. On the detector's 120×160 layers (bands of 5 output rows against
// 2), alternated in one run on one core: 0.54 → 0.48 ms for the pair; twice
// as many rows gained nothing more.
constexpr int chainedValues = 65536;

// out[r][0, Vectors · lanes) = bias[r] + Σk weights[k][r] · columns[offsets[k]][0, Vectors · lanes)
// for r < rows, then times slopes[r] where below zero (the activation folded
// in; 1: none); @p weights holds Rows values for each k, @p bias and
// @p slopes Rows each. Each k reads a run of consecutive values: an input
// channel of a pointwise convolution, or a kernel position's shifted view of
// the bordered input (see Geometry).
template <typename Vec, int Rows, int Vectors>
[[gnu::always_inline]] inline void multiplyBlockLoops(const float *weights, const float *columns,
                                                      const std::ptrdiff_t *offsets, int depth, const float *bias,
                                                      const float *slopes, float *out, std::size_t outStride, int rows)
{
    using UnalignedVec = typename Unaligned<Vec>::type;
    constexpr int lanes = sizeof(Vec) / sizeof(float);
    constexpr int width = Vectors * lanes;
    Vec acc[Rows][Vectors];
    for (int r = 0; r < Rows; ++r) {
        for (int v = 0; v < Vectors; ++v)
            acc[r][v] = Vec{} + bias[r];
    }
    for (int k = 0; k < depth; ++k) {
        const float *c = columns + offsets[k];
        Vec x[Vectors];
        for (int v = 0; v < Vectors; ++v)
            x[v] = *reinterpret_cast<const UnalignedVec *>(c + v * lanes);
        const float *w = weights + std::size_t(k) * Rows;
        for (int r = 0; r < Rows; ++r) {
            for (int v = 0; v < Vectors; ++v)
                acc[r][v] += x[v] * w[r];
        }
    }
    // Every accumulator is stored by a constant index, so that all stay in
    // registers; a block of fewer rows is stored aside and copied.
    float spare[Rows * width];
    float *target = rows == Rows ? out : spare;
    const std::size_t targetStride = rows == Rows ? outStride : width;
    for (int r = 0; r < Rows; ++r) {
        for (int v = 0; v < Vectors; ++v) {
            const Vec value = acc[r][v] < 0.f ? acc[r][v] * slopes[r] : acc[r][v];
            *reinterpret_cast<UnalignedVec *>(target + std::size_t(r) * targetStride + v * lanes) = value;
        }
    }
    for (int r = 0; r < rows && target == spare; ++r)
        std::copy_n(spare + r * width, width, out + std::size_t(r) * outStride);
}

using MultiplyBlock = void (*)(const float *, const float *, const std::ptrdiff_t *, int, const float *,
                               const float *, float *, std::size_t, int);

// One output column of the output channels [0, outputs), in blocks of Rows:
// out[o · outStride] = bias[o] + Σk weights[o / Rows][k][o % Rows] ·
// column[k · step], with the activation as above. A product by weights rows,
// for the planes of a few values, where a block of columns would compute
// mostly padding. Each sum runs over k in the order of the blocks above, so
// that a column gives the same values either way; four blocks at once, as one
// chain's latency would bound the loop.
template <int Rows, int Chains>
[[gnu::always_inline]] inline void multiplyColumnChains(const float *weights, const float *column, std::size_t step,
                                                        int depth, const float *bias, const float *slopes, float *out,
                                                        std::size_t outStride, int outputs)
{
    using Vec = typename RowsVector<Rows>::type;
    using UnalignedVec = typename Unaligned<Vec>::type;
    Vec acc[Chains];
    for (int u = 0; u < Chains; ++u)
        acc[u] = *reinterpret_cast<const UnalignedVec *>(bias + u * Rows);
    const std::size_t blockSize = std::size_t(depth) * Rows;
    for (int k = 0; k < depth; ++k) {
        const float x = column[std::size_t(k) * step];
        for (int u = 0; u < Chains; ++u)
            acc[u] += *reinterpret_cast<const UnalignedVec *>(weights + u * blockSize + std::size_t(k) * Rows) * x;
    }
    for (int u = 0; u < Chains; ++u) {
        for (int r = 0; r < Rows && u * Rows + r < outputs; ++r) {
            const float value = acc[u][r] < 0.f ? acc[u][r] * slopes[u * Rows + r] : acc[u][r];
            out[std::size_t(u * Rows + r) * outStride] = value;
        }
    }
}

template <int Rows>
[[gnu::always_inline]] inline void multiplyColumnLoops(const float *weights, const float *column, std::size_t step,
                                                       int depth, const float *bias, const float *slopes, float *out,
                                                       std::size_t outStride, int outputs)
{
    constexpr int chains = 4;
    const std::size_t blockSize = std::size_t(depth) * Rows;
    int o = 0;
    for (; o + chains * Rows <= outputs; o += chains * Rows)
        multiplyColumnChains<Rows, chains>(weights + o / Rows * blockSize, column, step, depth, bias + o, slopes + o,
                                           out + o * outStride, outStride, outputs - o);
    for (; o < outputs; o += Rows)
        multiplyColumnChains<Rows, 1>(weights + o / Rows * blockSize, column, step, depth, bias + o, slopes + o,
                                      out + o * outStride, outStride, outputs - o);
}

using MultiplyColumn = void (*)(const float *, const float *, std::size_t, int, const float *, const float *,
                                float *, std::size_t, int);

// The loops above for one instruction set and block shape: a block of rows ×
// (vectors · lanes), and its narrower forms of 1 and 2 vectors for the last
// columns of a plane, which would otherwise be padded to a whole block.
struct BlockKernel
{
    int rows = 0, lanes = 0, vectors = 0;
    MultiplyBlock multiply[3] = {}; // by vectors: 1, 2, 3
    MultiplyColumn multiplyColumn = nullptr;
    // The same without fused multiply-adds, as the planes of a few values
    // always were computed: the embedding network's last layer gives the
    // values it gave when the faces on record were enrolled. (Bound by
    // reading the weights, it is no slower.)
    MultiplyColumn multiplyUnfusedColumn = nullptr;
    int columns() const { return lanes * vectors; }
};

// Sixteen registers of four floats: 4 × 3 accumulators, three columns and a
// weight. (In vectors of eight, which the oldest x86-64 has no registers for,
// the block was kept in memory and ran ten times slower.)
template <int Rows, int Vectors>
void multiplyBlockBaseline(const float *weights, const float *columns, const std::ptrdiff_t *offsets, int depth,
                           const float *bias, const float *slopes, float *out, std::size_t outStride, int rows)
{
    multiplyBlockLoops<Vec4, Rows, Vectors>(weights, columns, offsets, depth, bias, slopes, out, outStride, rows);
}

template <int Rows>
void multiplyColumnBaseline(const float *weights, const float *column, std::size_t step, int depth, const float *bias,
                            const float *slopes, float *out, std::size_t outStride, int outputs)
{
    multiplyColumnLoops<Rows>(weights, column, step, depth, bias, slopes, out, outStride, outputs);
}

// The build targets the oldest x86-64; the same loops are also built for the
// wider vector units and picked by what the processor has (see
// DepthwiseConvolution).
#if defined(__x86_64__) && defined(__GNUC__)
// Sixteen registers: 4 × 3 accumulators, three columns and a weight.
template <int Rows, int Vectors>
[[gnu::target("avx2,fma")]] void multiplyBlockAvx2(const float *weights, const float *columns,
                                                   const std::ptrdiff_t *offsets, int depth, const float *bias,
                                                   const float *slopes, float *out, std::size_t outStride, int rows)
{
    multiplyBlockLoops<Vec8, Rows, Vectors>(weights, columns, offsets, depth, bias, slopes, out, outStride, rows);
}

// Without "fma", the compiler cannot fuse a product with its sum.
template <int Rows>
[[gnu::target("avx2")]] void multiplyUnfusedColumnAvx2(const float *weights, const float *column, std::size_t step,
                                                       int depth, const float *bias, const float *slopes, float *out,
                                                       std::size_t outStride, int outputs)
{
    multiplyColumnLoops<Rows>(weights, column, step, depth, bias, slopes, out, outStride, outputs);
}

template <int Rows>
[[gnu::target("avx2,fma")]] void multiplyColumnAvx2(const float *weights, const float *column, std::size_t step,
                                                    int depth, const float *bias, const float *slopes, float *out,
                                                    std::size_t outStride, int outputs)
{
    multiplyColumnLoops<Rows>(weights, column, step, depth, bias, slopes, out, outStride, outputs);
}

// Thirty-two registers of sixteen floats: 8 × 3 accumulators, so that each
// column vector loaded serves eight multiply-adds rather than four.
template <int Rows, int Vectors>
[[gnu::target("avx512f,fma")]] void multiplyBlockAvx512(const float *weights, const float *columns,
                                                        const std::ptrdiff_t *offsets, int depth, const float *bias,
                                                        const float *slopes, float *out, std::size_t outStride,
                                                        int rows)
{
    multiplyBlockLoops<Vec16, Rows, Vectors>(weights, columns, offsets, depth, bias, slopes, out, outStride, rows);
}

template <int Rows>
[[gnu::target("avx512f,fma")]] void multiplyColumnAvx512(const float *weights, const float *column, std::size_t step,
                                                         int depth, const float *bias, const float *slopes,
                                                         float *out, std::size_t outStride, int outputs)
{
    multiplyColumnLoops<Rows>(weights, column, step, depth, bias, slopes, out, outStride, outputs);
}
#endif

// An instruction set's kernels: the widest block, and one of fewer rows for
// layers whose output channels it would pad more (12 outputs: 16 in blocks of
// 8, 12 in blocks of 4).
struct InstructionSet
{
    const char *name;
    bool (*available)();
    BlockKernel wide, narrow;
};

const std::vector<InstructionSet> &instructionSets()
{
    static const std::vector<InstructionSet> sets = [] {
        std::vector<InstructionSet> result;
#if defined(__x86_64__) && defined(__GNUC__)
        const BlockKernel avx512Wide{8, 16, 3,
                                     {&multiplyBlockAvx512<8, 1>, &multiplyBlockAvx512<8, 2>,
                                      &multiplyBlockAvx512<8, 3>},
                                     &multiplyColumnAvx512<8>, &multiplyUnfusedColumnAvx2<8>};
        const BlockKernel avx512Narrow{4, 16, 3,
                                       {&multiplyBlockAvx512<4, 1>, &multiplyBlockAvx512<4, 2>,
                                        &multiplyBlockAvx512<4, 3>},
                                       &multiplyColumnAvx512<4>, &multiplyUnfusedColumnAvx2<4>};
        result.push_back({"avx512",
                          [] { return runs(VectorUnit::avx512); },
                          avx512Wide, avx512Narrow});
        const BlockKernel avx2{4, 8, 3,
                               {&multiplyBlockAvx2<4, 1>, &multiplyBlockAvx2<4, 2>, &multiplyBlockAvx2<4, 3>},
                               &multiplyColumnAvx2<4>, &multiplyUnfusedColumnAvx2<4>};
        result.push_back(
            {"avx2", [] { return runs(VectorUnit::avx2); }, avx2, avx2});
#endif
        const BlockKernel baseline{4, 4, 3,
                                   {&multiplyBlockBaseline<4, 1>, &multiplyBlockBaseline<4, 2>,
                                    &multiplyBlockBaseline<4, 3>},
                                   &multiplyColumnBaseline<4>, &multiplyColumnBaseline<4>};
        result.push_back({"baseline", [] { return true; }, baseline, baseline});
        return result;
    }();
    return sets;
}

const InstructionSet *instructionSet(const std::string &name)
{
    for (const auto &set : instructionSets()) {
        if ((name.empty() || name == set.name) && set.available())
            return &set;
    }
    return nullptr;
}

// The kernel of @p set for a layer of @p outputs channels: the widest unless
// its blocks leave more channels unused.
BlockKernel kernelFor(const InstructionSet &set, int outputs)
{
    const auto padded = [&](int rows) { return (outputs + rows - 1) / rows * rows; };
    return padded(set.wide.rows) > padded(set.narrow.rows) ? set.narrow : set.wide;
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
    bool absorb(int channels, const DepthwiseStage *stage, const cv::Ptr<cv::dnn::Layer> &owner)
    {
        if (m_kernel != 1 || m_stride != 1 || m_pad != 0 || m_inputs != channels || m_stage)
            return false;
        m_stage = stage;
        m_stageOwner = owner;
        return true;
    }

    bool chain(int channels, const DepthwiseStage *stage, const cv::Ptr<cv::dnn::Layer> &owner,
               bool activationBetween)
    {
        if (m_kernel != 1 || m_stride != 1 || m_pad != 0 || m_outputs != channels || m_next)
            return false;
        m_next = stage;
        m_nextOwner = owner;
        m_activationBetween = activationBetween;
        return true;
    }

    // Chained, the output is the stride-2 depthwise layer's.
    bool getMemoryShapes(const std::vector<cv::dnn::MatShape> &inputs, int requiredOutputs,
                         std::vector<cv::dnn::MatShape> &outputs,
                         std::vector<cv::dnn::MatShape> &internals) const override
    {
        const bool inPlace = OpenCvLayerShell::getMemoryShapes(inputs, requiredOutputs, outputs, internals);
        if (!m_next)
            return inPlace;
        for (auto &shape : outputs) {
            CV_Assert(shape.size() == 4);
            shape[2] = (shape[2] - 1) / 2 + 1;
            shape[3] = (shape[3] - 1) / 2 + 1;
        }
        return false;
    }

    DenseConvolutionLayer(const cv::dnn::LayerParams &params, const InstructionSet &set)
        : OpenCvLayerShell(params, openCvConvolution(params))
        , m_block(kernelFor(set, params.blobs[0].size[0]))
    {
        const cv::Mat &weights = params.blobs[0];
        m_outputs = weights.size[0];
        m_inputs = weights.size[1];
        m_kernel = weights.size[2];
        m_stride = *uniformValue(params, "stride", 1);
        m_pad = *uniformValue(params, "pad", 0);
        m_dilation = *uniformValue(params, "dilation", 1);
        m_depth = m_inputs * m_kernel * m_kernel;

        // Weights by blocks of output channels, each laid out depth-first, so
        // that the product reads them in order; missing channels are zero.
        const int blockRows = m_block.rows;
        const int blocks = (m_outputs + blockRows - 1) / blockRows;
        m_packed.assign(std::size_t(blocks) * m_depth * blockRows, 0.f);
        const float *w = weights.ptr<float>();
        for (int o = 0; o < m_outputs; ++o) {
            for (int k = 0; k < m_depth; ++k)
                m_packed[(std::size_t(o / blockRows) * m_depth + k) * blockRows + o % blockRows] =
                    w[std::size_t(o) * m_depth + k];
        }
        m_bias = biasOf(params, m_outputs, std::size_t(blocks) * blockRows);
        for (int k = 0; k < m_depth; ++k)
            m_tailOffsets.push_back(std::ptrdiff_t(k) * m_block.columns());
        m_blockSlopes.assign(std::size_t(blocks) * blockRows, 1.f);
    }

    bool setActivation(const cv::Ptr<cv::dnn::ActivationLayer> &activation) override
    {
        const bool taken = OpenCvLayerShell::setActivation(activation);
        m_activationInline = m_inlineActivation && slopesFit(m_outputs);
        std::fill(m_blockSlopes.begin(), m_blockSlopes.end(), 1.f);
        for (int o = 0; o < m_outputs && m_activationInline; ++o)
            m_blockSlopes[std::size_t(o)] = negativeSlope(o);
        return taken;
    }

    void forward(cv::InputArrayOfArrays inputsArray, cv::OutputArrayOfArrays outputsArray,
                 cv::OutputArrayOfArrays internalsArray) override
    {
        cv::Mat in, out;
        if (!tensors(inputsArray, outputsArray, m_inputs, m_outputs, in, out)) {
            // OpenCV's layer knows nothing of the depthwise layer left to this one.
            if (m_stage || m_next)
                CV_Error(cv::Error::StsNotImplemented, "a fused pointwise layer takes only continuous float tensors");
            m_openCv->forward(inputsArray, outputsArray, internalsArray);
            return;
        }
        if (m_next) {
            forwardChained(in, out);
            return;
        }
        const Geometry g(in.size[2], in.size[3], m_kernel, m_stride, m_pad, m_dilation, m_inputs);
        CV_Assert(out.size[2] == g.outHeight && out.size[3] == g.outWidth);
        if (m_offsets.size() != std::size_t(m_depth) || m_geometryOf != std::pair(g.height, g.width)) {
            m_offsets = g.offsets();
            m_geometryOf = {g.height, g.width};
            // The border and the slack, which fill() never writes, stay zero
            // from here on; only the input's values are copied each time.
            m_bordered.assign(g.copySize, 0.f);
        }
        const int stripes = (g.count + stripeColumns - 1) / stripeColumns;
        const int blocks = (m_outputs + m_block.rows - 1) / m_block.rows;
        // The late layers' small planes make fewer stripes than threads: their
        // output channels are shared out too.
        const int threads = cv::getNumThreads();
        const int groups = threads > 1 ? std::clamp((2 * threads + stripes - 1) / stripes, 1, blocks) : 1;
        for (int image = 0; image < in.size[0]; ++image) {
            const float *src = in.ptr<float>(image);
            float *dst = out.ptr<float>(image);
            if (m_stage && g.count >= fewestColumns) {
                // Bands of whole rows: each band's depthwise results, then
                // their product, while they are in the first level cache.
                const int bandRows = fusedBandRows(g.width);
                const std::size_t bandSize = std::size_t(bandRows) * g.width;
                std::vector<std::ptrdiff_t> offsets(static_cast<std::size_t>(m_depth));
                for (int k = 0; k < m_depth; ++k)
                    offsets[std::size_t(k)] = std::ptrdiff_t(k) * std::ptrdiff_t(bandSize);
                const int bands = (g.height + bandRows - 1) / bandRows;
                cv::parallel_for_(cv::Range(0, bands), [&](const cv::Range &range) {
                    thread_local std::vector<float> stage;
                    stage.resize(std::size_t(m_inputs) * bandSize);
                    for (int band = range.start; band < range.end; ++band) {
                        const int firstRow = band * bandRows, lastRow = std::min(g.height, firstRow + bandRows);
                        for (int c = 0; c < m_inputs; ++c)
                            m_stage->computeRows(src + std::size_t(c) * g.channelSize, g.height, g.width, c,
                                                 firstRow, lastRow, stage.data() + std::size_t(c) * bandSize);
                        computeStripe(stage.data(), offsets.data(), firstRow * g.width, dst, g, firstRow * g.width,
                                      lastRow * g.width, 0, blocks);
                    }
                });
                continue;
            }
            std::vector<float> staged;
            if (m_stage) { // a plane of a few values: the depthwise results first, whole
                staged.resize(std::size_t(m_inputs) * g.channelSize);
                for (int c = 0; c < m_inputs; ++c)
                    m_stage->computeRows(src + std::size_t(c) * g.channelSize, g.height, g.width, c, 0, g.height,
                                         staged.data() + std::size_t(c) * g.channelSize);
                src = staged.data();
            }
            if (g.direct && g.count < fewestColumns) {
                multiplyFewColumns(src, dst, g.count);
                continue;
            }
            const float *columns = src;
            if (!g.direct) {
                cv::parallel_for_(cv::Range(0, m_inputs), [&](const cv::Range &range) {
                    for (int c = range.start; c < range.end; ++c)
                        g.fill(src, c, m_bordered.data());
                });
                columns = m_bordered.data();
            }
            cv::parallel_for_(cv::Range(0, stripes * groups), [&](const cv::Range &range) {
                for (int task = range.start; task < range.end; ++task) {
                    const int first = task / groups * stripeColumns, group = task % groups;
                    computeStripe(columns, m_offsets.data(), 0, dst, g, first, std::min(g.count, first + stripeColumns),
                                  group * blocks / groups, (group + 1) * blocks / groups);
                }
            });
        }
    }

private:
    // Where the product's columns are read. A pointwise convolution reads the
    // input itself. Any other reads a bordered copy of it, split by stride
    // into phases (for stride 2: even and odd rows by even and odd columns),
    // in which each kernel position sees the output's columns as one run of
    // consecutive values: output (y, x) is column y · rowLength + x, and the
    // rowLength − outWidth columns between two output rows are computed and
    // dropped.
    struct Geometry
    {
        int height, width, kernel, stride, pad, dilation, inputs;
        int outHeight, outWidth;
        bool direct;
        int rowLength = 0, phaseRows = 0;
        std::size_t phaseSize = 0, channelSize = 0, copySize = 0;
        int count; // columns of the product

        Geometry(int height, int width, int kernel, int stride, int pad, int dilation, int inputs)
            : height(height)
            , width(width)
            , kernel(kernel)
            , stride(stride)
            , pad(pad)
            , dilation(dilation)
            , inputs(inputs)
            , outHeight((height + 2 * pad - dilation * (kernel - 1) - 1) / stride + 1)
            , outWidth((width + 2 * pad - dilation * (kernel - 1) - 1) / stride + 1)
            , direct(kernel == 1 && stride == 1 && pad == 0)
        {
            if (direct) {
                rowLength = outWidth;
                channelSize = std::size_t(height) * width;
            } else {
                rowLength = (width + 2 * pad + stride - 1) / stride;
                // One row more than the bordered input has: the dropped
                // columns of the last output row read into it.
                phaseRows = (height + 2 * pad + stride - 1) / stride + 1;
                phaseSize = std::size_t(phaseRows) * rowLength;
                channelSize = phaseSize * stride * stride;
                // A block's width more, so that the last block reads whole
                // blocks too and its extra columns are dropped like the others.
                copySize = channelSize * inputs + widestColumns;
            }
            count = (outHeight - 1) * rowLength + outWidth;
        }

        std::vector<std::ptrdiff_t> offsets() const
        {
            std::vector<std::ptrdiff_t> result;
            for (int c = 0; c < inputs; ++c) {
                for (int ky = 0; ky < kernel; ++ky) {
                    for (int kx = 0; kx < kernel; ++kx) {
                        const int dy = ky * dilation, dx = kx * dilation;
                        const std::size_t phase = std::size_t(dy % stride) * stride + dx % stride;
                        result.push_back(std::ptrdiff_t(c * channelSize + phase * phaseSize +
                                                        std::size_t(dy / stride) * rowLength + dx / stride));
                    }
                }
            }
            return result;
        }

        // Input channel @p c of @p src into its phases in @p copy, whose
        // border the caller has zeroed.
        void fill(const float *src, int c, float *copy) const
        {
            float *channel = copy + c * channelSize;
            const float *plane = src + std::size_t(c) * height * width;
            for (int y = 0; y < height; ++y) {
                const int r = y + pad; // row of the bordered input
                const float *__restrict row = plane + std::size_t(y) * width;
                for (int b = 0; b < stride; ++b) {
                    // Bordered column q = x + pad lands in phase column q / stride
                    // of phase q % stride: here the x with (x + pad) % stride == b.
                    const int x0 = ((b - pad) % stride + stride) % stride;
                    float *__restrict to = channel + (std::size_t(r % stride) * stride + b) * phaseSize +
                                           std::size_t(r / stride) * rowLength + (x0 + pad) / stride;
                    const int n = x0 < width ? (width - x0 + stride - 1) / stride : 0;
                    if (stride == 1) {
                        std::copy_n(row, width, to);
                    } else if (stride == 2) { // a constant step, which the compiler vectorises
                        for (int i = 0; i < n; ++i)
                            to[i] = row[x0 + 2 * i];
                    } else {
                        for (int i = 0; i < n; ++i)
                            to[i] = row[x0 + i * stride];
                    }
                }
            }
        }

        // The output values of product columns [first, last): a run of the
        // output plane, as the dropped columns fall between output rows.
        int outputIndex(int column) const
        {
            return (column / rowLength) * outWidth + std::min(column % rowLength, outWidth);
        }
    };

    // The rows of a fused band on planes @p width wide: about fusedValues
    // depthwise results, a few rows more if that makes whole register blocks,
    // which spares each band a last block computed aside. On the detector's
    // 120×160 layers, bands of 3 rows (20 blocks) against 2 (13 and a third):
    // 0.71 → 0.60 ms for the pair.
    int fusedBandRows(int width) const
    {
        const int rows = std::max(1, (fusedValues / m_inputs + width / 2) / width);
        for (int r = rows; r < rows + 3; ++r) {
            if (r * width % m_block.columns() == 0)
                return r;
        }
        return rows;
    }

    // The stride-2 depthwise layer after this one, on this one's results:
    // bands of its output rows, each from the twice as many rows of the
    // product (and the one above) kept in the second level cache, computed
    // in turn a few rows at a time (with the depthwise layer before this
    // one, when it was left to this one too). A band reads the last row of
    // the one before it, which the same thread kept, or computes it again.
    void forwardChained(const cv::Mat &in, cv::Mat &out) const
    {
        // OpenCV folds an activation into the layer before it, here this one;
        // one it ran on its own would change the depthwise layer's output.
        if (m_activationBetween && !m_activation)
            CV_Error(cv::Error::StsError, "the activation of a chained pointwise layer was not folded into it");
        const int height = in.size[2], width = in.size[3];
        const int outHeight = (height - 1) / 2 + 1, outWidth = (width - 1) / 2 + 1;
        CV_Assert(out.size[2] == outHeight && out.size[3] == outWidth);
        const int blocks = (m_outputs + m_block.rows - 1) / m_block.rows;
        const int bandOutRows = std::max(1, (chainedValues / (m_outputs * width) - 2) / 2);
        // Band row b holds the product's row 2 · o0 − 2 + b for a band from
        // output row o0; the depthwise rows read rows 1 to 2 · n + 1.
        const int bandRows = 2 * bandOutRows + 2;
        const Geometry band(bandRows, width, 1, 1, 0, 1, m_inputs);
        const std::size_t bandPlane = band.channelSize, inPlane = std::size_t(height) * width;
        const std::size_t outPlane = std::size_t(outHeight) * outWidth;
        const int stepRows = m_stage ? fusedBandRows(width) : bandRows;
        const std::size_t stepSize = std::size_t(stepRows) * width;
        std::vector<std::ptrdiff_t> stageOffsets(static_cast<std::size_t>(m_depth)),
            inputOffsets(static_cast<std::size_t>(m_depth));
        for (int k = 0; k < m_depth; ++k) {
            stageOffsets[std::size_t(k)] = std::ptrdiff_t(k) * std::ptrdiff_t(stepSize);
            inputOffsets[std::size_t(k)] = std::ptrdiff_t(k) * std::ptrdiff_t(inPlane);
        }
        const int bands = (outHeight + bandOutRows - 1) / bandOutRows;
        // Runs of consecutive bands, two a thread: OpenCV would otherwise hand
        // out bands one by one, each computing its row above again.
        const double runs = std::min(bands, 2 * cv::getNumThreads());
        for (int image = 0; image < in.size[0]; ++image) {
            const float *src = in.ptr<float>(image);
            float *dst = out.ptr<float>(image);
            cv::parallel_for_(cv::Range(0, bands), [&](const cv::Range &range) {
                thread_local std::vector<float> rows, stage;
                rows.resize(std::size_t(m_outputs) * bandPlane);
                if (m_stage)
                    stage.resize(std::size_t(m_inputs) * stepSize);
                for (int b = range.start; b < range.end; ++b) {
                    const int o0 = b * bandOutRows, o1 = std::min(outHeight, o0 + bandOutRows);
                    const int origin = 2 * o0 - 2; // the product's row at band row 0
                    int from = 2 * o0 - 1;
                    const int to = std::min(height, 2 * o1);
                    if (b > range.start) { // the row above, the last of the band before
                        for (int c = 0; c < m_outputs; ++c) {
                            float *plane = rows.data() + std::size_t(c) * bandPlane;
                            std::copy_n(plane + std::size_t(bandRows - 1) * width, width, plane + width);
                        }
                        ++from;
                    }
                    // Rows past the plane's edges are the depthwise layer's zero border.
                    for (int c = 0; c < m_outputs; ++c) {
                        float *plane = rows.data() + std::size_t(c) * bandPlane;
                        if (from < 0)
                            std::fill_n(plane + width, width, 0.f);
                        for (int r = to; r <= 2 * o1 - 1; ++r)
                            std::fill_n(plane + std::size_t(r - origin) * width, width, 0.f);
                    }
                    for (int r0 = std::max(0, from); r0 < to; r0 += stepRows) {
                        const int r1 = std::min(to, r0 + stepRows);
                        const int first = (r0 - origin) * width, last = (r1 - origin) * width;
                        if (m_stage) {
                            for (int c = 0; c < m_inputs; ++c)
                                m_stage->computeRows(src + std::size_t(c) * inPlane, height, width, c, r0, r1,
                                                     stage.data() + std::size_t(c) * stepSize);
                            computeStripe(stage.data(), stageOffsets.data(), first, rows.data(), band, first, last, 0,
                                          blocks);
                        } else {
                            computeStripe(src, inputOffsets.data(), first - r0 * width, rows.data(), band, first,
                                          last, 0, blocks);
                        }
                    }
                    for (int c = 0; c < m_outputs; ++c)
                        m_next->computeRows(rows.data() + std::size_t(c) * bandPlane, 2 * (o1 - o0) + 2, width, c, 1,
                                            o1 - o0 + 1, dst + std::size_t(c) * outPlane + std::size_t(o0) * outWidth);
                }
            }, runs);
        }
    }

    // A pointwise layer on a plane of a few values (the embedding network's
    // last, on 1×1): one product by weights rows per column. Padded to a
    // vector of columns, it would compute 8 or 16 times the work.
    void multiplyFewColumns(const float *src, float *dst, int count) const
    {
        const int blockRows = m_block.rows;
        const int blocks = (m_outputs + blockRows - 1) / blockRows;
        const MultiplyColumn multiply = m_block.multiplyUnfusedColumn;
        cv::parallel_for_(cv::Range(0, blocks), [&](const cv::Range &range) {
            const int first = range.start * blockRows, outputs = std::min(m_outputs, range.end * blockRows) - first;
            for (int column = 0; column < count; ++column)
                multiply(m_packed.data() + std::size_t(range.start) * m_depth * blockRows, src + column,
                                       std::size_t(count), m_depth, m_bias.data() + first,
                                       m_blockSlopes.data() + first, dst + std::size_t(first) * count + column,
                                       std::size_t(count), outputs);
        });
        if (m_activation && !m_activationInline)
            m_activation->forwardSlice(dst, dst, count, std::size_t(count), 0, m_outputs);
    }

    // Product columns [first, last) of the output channels of register
    // blocks [firstBlock, lastBlock); column j's value k is at
    // columns[j - origin + offsets[k]].
    void computeStripe(const float *columns, const std::ptrdiff_t *kOffsets, int origin, float *dst,
                       const Geometry &g, int first, int last, int firstBlock, int lastBlock) const
    {
        const std::size_t planeSize = std::size_t(g.outHeight) * g.outWidth;
        const int count = last - first;
        const int blockRows = m_block.rows, blockColumns = m_block.columns();
        float tail[widestRows * widestColumns];
        thread_local std::vector<float> tailColumns;
        for (int j = 0; j < count; j += blockColumns) {
            const int width = std::min(blockColumns, count - j);
            // The last columns in as few vectors as hold them.
            const int vectors = (width + m_block.lanes - 1) / m_block.lanes;
            const int computed = vectors * m_block.lanes;
            const MultiplyBlock multiply = m_block.multiply[vectors - 1];
            const int column = first + j;
            const float *right = columns + (column - origin);
            if (g.direct && width <= m_block.lanes / 2) {
                // A few last columns of a pointwise layer (the 7×7 planes' one
                // past two blocks), each as a product by weights rows: cheaper
                // than a vector of mostly padding.
                const std::size_t step = m_depth > 1 ? std::size_t(kOffsets[1]) : 0;
                const int firstOutput = firstBlock * blockRows;
                const int outputs = std::min(m_outputs, lastBlock * blockRows) - firstOutput;
                float *o = dst + std::size_t(firstOutput) * planeSize + g.outputIndex(column);
                for (int i = 0; i < width; ++i)
                    m_block.multiplyColumn(m_packed.data() + std::size_t(firstBlock) * m_depth * blockRows, right + i,
                                           step, m_depth, m_bias.data() + firstOutput,
                                           m_blockSlopes.data() + firstOutput, o + i, planeSize, outputs);
                continue;
            }
            const std::ptrdiff_t *offsets = kOffsets;
            if (width < computed && g.direct) {
                // The input's last columns, padded to whole vectors.
                tailColumns.assign(std::size_t(m_depth) * blockColumns, 0.f);
                for (int k = 0; k < m_depth; ++k)
                    std::copy_n(right + kOffsets[k], width, tailColumns.data() + k * blockColumns);
                right = tailColumns.data();
                offsets = m_tailOffsets.data();
            }
            // Straight into the output when the block is a whole run of one
            // output row; otherwise aside, and its runs of output columns
            // copied, found once for all its rows.
            const int x = column % g.rowLength;
            const bool straight = width == computed && (g.direct || x + computed <= g.outWidth);
            struct Run
            {
                int from, count; // of the block's columns, copied to the output one after another
            };
            Run runs[widestColumns];
            int runCount = 0;
            for (int i = 0; i < width && !straight;) {
                const int at = (column + i) % g.rowLength;
                const int run = std::min(width - i, g.rowLength - at);
                if (at < g.outWidth)
                    runs[runCount++] = {i, std::min(run, g.outWidth - at)};
                i += run;
            }
            for (int b = firstBlock; b < lastBlock; ++b) {
                const int rows = std::min(blockRows, m_outputs - b * blockRows);
                const float *weights = m_packed.data() + std::size_t(b) * m_depth * blockRows;
                float *o = dst + std::size_t(b) * blockRows * planeSize + g.outputIndex(column);
                if (straight) {
                    multiply(weights, right, offsets, m_depth, m_bias.data() + b * blockRows,
                             m_blockSlopes.data() + b * blockRows, o, planeSize, rows);
                    continue;
                }
                multiply(weights, right, offsets, m_depth, m_bias.data() + b * blockRows,
                         m_blockSlopes.data() + b * blockRows, tail, computed, rows);
                for (int r = 0; r < rows; ++r) {
                    float *to = o + std::size_t(r) * planeSize;
                    for (int i = 0; i < runCount; ++i)
                        to = std::copy_n(tail + r * computed + runs[i].from, runs[i].count, to);
                }
            }
        }
        // The activation's channels [cn0, cn1) start where it is pointed.
        const int firstChannel = firstBlock * blockRows;
        float *slice = dst + std::size_t(firstChannel) * planeSize + g.outputIndex(first);
        if (m_activation && !m_activationInline)
            m_activation->forwardSlice(slice, slice, g.outputIndex(last) - g.outputIndex(first), planeSize, firstChannel,
                                       std::min(m_outputs, lastBlock * blockRows));
    }

    BlockKernel m_block; // the register block, for this processor and the output channels
    int m_outputs = 0, m_inputs = 0, m_kernel = 1, m_stride = 1, m_pad = 0, m_dilation = 1, m_depth = 0;
    std::vector<float> m_packed; // output-channel blocks × depth × m_block.rows
    std::vector<float> m_bias;   // padded to whole blocks
    std::vector<float> m_blockSlopes; // of the activation applied as stored (1: none), padded likewise
    bool m_activationInline = false;
    std::vector<std::ptrdiff_t> m_offsets;     // of each k in the columns, for the input size below
    std::pair<int, int> m_geometryOf{-1, -1}; // height, width
    std::vector<std::ptrdiff_t> m_tailOffsets; // of each k in a padded last block
    std::vector<float> m_bordered;             // the input's bordered phases
    const DepthwiseStage *m_stage = nullptr;   // the depthwise layer before, computed here
    cv::Ptr<cv::dnn::Layer> m_stageOwner;      // which keeps m_stage alive
    const DepthwiseStage *m_next = nullptr;    // the stride-2 depthwise layer after, computed here
    cv::Ptr<cv::dnn::Layer> m_nextOwner;       // which keeps m_next alive
    bool m_activationBetween = false;          // an activation lies between this layer and m_next
};

} // namespace

cv::Ptr<cv::dnn::Layer> DenseConvolution::create(const cv::dnn::LayerParams &params)
{
    if (!handles(params))
        return {};
    return cv::makePtr<DenseConvolutionLayer>(params, *instructionSet({}));
}

cv::Ptr<cv::dnn::Layer> DenseConvolution::create(const cv::dnn::LayerParams &params, const std::string &instructionSet)
{
    const InstructionSet *set = instructionSet.empty() ? nullptr : platform::instructionSet(instructionSet);
    if (!set || !handles(params))
        return {};
    return cv::makePtr<DenseConvolutionLayer>(params, *set);
}

std::vector<std::string> DenseConvolution::instructionSets()
{
    std::vector<std::string> names;
    for (const auto &set : platform::instructionSets()) {
        if (set.available())
            names.emplace_back(set.name);
    }
    return names;
}

bool DenseConvolution::absorb(const cv::Ptr<cv::dnn::Layer> &layer, int channels, const DepthwiseStage *stage,
                              const cv::Ptr<cv::dnn::Layer> &owner)
{
    const auto dense = layer.dynamicCast<DenseConvolutionLayer>();
    return dense && dense->absorb(channels, stage, owner);
}

bool DenseConvolution::chain(const cv::Ptr<cv::dnn::Layer> &layer, int channels, const DepthwiseStage *stage,
                             const cv::Ptr<cv::dnn::Layer> &owner, bool activationBetween)
{
    const auto dense = layer.dynamicCast<DenseConvolutionLayer>();
    return dense && dense->chain(channels, stage, owner, activationBetween);
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
    return stride && *stride >= 1 && dilation && *dilation >= 1 && pad && *pad >= 0 &&
           *pad < *dilation * (weights.size[2] - 1) + 1;
}

} // namespace faciward::platform
