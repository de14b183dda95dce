#include "Platform/Vision/DepthwiseKernel.h"
#include "tests/Platform/Vision/OpenCvLayers.h"

#include <opencv2/dnn.hpp>
#include <opencv2/dnn/all_layers.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

using faciward::platform::DepthwiseKernel;

namespace {

constexpr const char *openCvType = "FaciwardTestKernelOpenCvConvolution";

// OpenCV's own 3×3 convolution of one plane, padding 1, then x < 0 ? slope · x : x.
cv::Mat openCvResult(const cv::Mat &plane, int stride, const cv::Mat &weights, float bias, float slope)
{
    cv::dnn::LayerParams params;
    const int kernel[] = {3, 3}, strides[] = {stride, stride}, pads[] = {1, 1, 1, 1};
    params.set("kernel_size", cv::dnn::DictValue::arrayInt(kernel, 2));
    params.set("stride", cv::dnn::DictValue::arrayInt(strides, 2));
    params.set("pad", cv::dnn::DictValue::arrayInt(pads, 4));
    params.set("num_output", 1);
    params.set("bias_term", true);
    params.blobs.push_back(weights.reshape(1, std::vector<int>{1, 1, 3, 3}));
    params.blobs.push_back(cv::Mat(1, 1, CV_32F, cv::Scalar(bias)));
    const faciward::testing::RegisteredLayer openCv(openCvType,
                                                    &faciward::testing::openCvLayer<cv::dnn::ConvolutionLayer>);
    cv::dnn::Net net;
    net.addLayerToPrev("conv", openCvType, params);
    cv::dnn::LayerParams relu;
    relu.set("negative_slope", slope);
    net.addLayerToPrev("relu", "ReLU", relu);
    net.setPreferableBackend(cv::dnn::DNN_BACKEND_OPENCV);
    net.setPreferableTarget(cv::dnn::DNN_TARGET_CPU);
    net.setInput(plane.reshape(1, std::vector<int>{1, 1, plane.rows, plane.cols}));
    const cv::Mat out = net.forward();
    return cv::Mat(out.size[2], out.size[3], CV_32F, const_cast<float *>(out.ptr<float>())).clone();
}

// Room for @p count floats between two pages that cannot be read: placed
// against the page after (atEnd) or the page before, a value read past the
// plane's last or before its first stops the test with a fault, where a
// masked load that should have left the lane out would read unnoticed.
class GuardedFloats
{
public:
    GuardedFloats(std::size_t count, bool atEnd)
        : m_page(std::size_t(sysconf(_SC_PAGESIZE)))
        , m_inner((count * sizeof(float) + m_page - 1) / m_page * m_page)
    {
        void *map = mmap(nullptr, m_inner + 2 * m_page, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (map == MAP_FAILED)
            throw std::runtime_error("no memory for a guarded plane");
        m_map = static_cast<char *>(map);
        if (mprotect(m_map + m_page, m_inner, PROT_READ | PROT_WRITE) != 0)
            throw std::runtime_error("cannot open a guarded plane");
        char *inner = m_map + m_page;
        m_data = reinterpret_cast<float *>(atEnd ? inner + m_inner - count * sizeof(float) : inner);
    }
    ~GuardedFloats() { munmap(m_map, m_inner + 2 * m_page); }
    GuardedFloats(const GuardedFloats &) = delete;
    GuardedFloats &operator=(const GuardedFloats &) = delete;

    float *data() const { return m_data; }

private:
    std::size_t m_page, m_inner;
    char *m_map = nullptr;
    float *m_data = nullptr;
};

} // namespace

TEST(DepthwiseKernelTest, everyVersionThisProcessorRunsAgreesWithOpenCv)
{
    // Widths below, at and across a vector's lanes (8, 16; 32 inputs a
    // vector at stride 2), odd and even, one row and one column; bands of
    // rows that start and end inside the plane, as the pointwise layer asks
    // for them; no activation, ReLU and a leaky slope.
    const struct
    {
        int width, height, stride, firstRow, lastRow; // lastRow −1: the whole plane
        float slope;
    } cases[] = {
        {1, 1, 1, 0, -1, 1.f},   {1, 9, 1, 0, -1, 0.f},    {9, 1, 1, 0, -1, 0.1f},  {7, 7, 1, 0, -1, 1.f},
        {8, 5, 1, 0, -1, 0.f},   {15, 15, 1, 0, -1, 0.25f}, {16, 3, 1, 0, -1, 1.f}, {17, 4, 1, 0, -1, 0.f},
        {40, 30, 1, 0, -1, 0.f}, {57, 9, 1, 3, 7, 0.3f},    {160, 6, 1, 0, 2, 1.f}, {160, 6, 1, 4, 6, 0.f},
        {30, 7, 1, 1, 6, 0.5f},  {1, 1, 2, 0, -1, 1.f},     {2, 2, 2, 0, -1, 0.f},  {3, 5, 2, 0, -1, 0.2f},
        {7, 7, 2, 0, -1, 1.f},   {14, 14, 2, 0, -1, 0.f},   {15, 15, 2, 0, -1, 0.1f}, {16, 3, 2, 0, -1, 1.f},
        {17, 4, 2, 0, -1, 0.f},  {31, 3, 2, 0, -1, 1.f},    {32, 3, 2, 0, -1, 0.f}, {33, 5, 2, 0, -1, 0.5f},
        {56, 56, 2, 0, -1, 0.f}, {160, 120, 2, 0, -1, 0.25f}, {65, 9, 2, 2, 4, 1.f},
    };
    cv::RNG rng(20261207);
    for (const auto &version : DepthwiseKernel::supported()) {
        for (const auto &c : cases) {
            cv::Mat plane(c.height, c.width, CV_32F), weights(3, 3, CV_32F);
            rng.fill(plane, cv::RNG::UNIFORM, -2, 2);
            rng.fill(weights, cv::RNG::UNIFORM, -1, 1);
            const float bias = float(rng.uniform(-1.0, 1.0));
            const cv::Mat expected = openCvResult(plane, c.stride, weights, bias, c.slope);
            const int lastRow = c.lastRow < 0 ? expected.rows : c.lastRow;
            // The plane against an unreadable page after it, then before it.
            for (const bool atEnd : {true, false}) {
                const GuardedFloats guarded(plane.total(), atEnd);
                std::copy_n(plane.ptr<float>(), plane.total(), guarded.data());
                // A value on either side of the rows asked for, which must stay as they were.
                std::vector<float> out(std::size_t(lastRow - c.firstRow) * expected.cols + 2, 1234.f);
                version.function({guarded.data(), c.height, c.width, c.stride, c.firstRow, lastRow,
                                  weights.ptr<float>(), bias, c.slope, out.data() + 1});
                SCOPED_TRACE(std::string(version.name) + ", " + std::to_string(c.width) + "x" +
                             std::to_string(c.height) + " stride " + std::to_string(c.stride) + " rows " +
                             std::to_string(c.firstRow) + "-" + std::to_string(lastRow) +
                             (atEnd ? ", against the page after" : ", against the page before"));
                const cv::Mat ours(lastRow - c.firstRow, expected.cols, CV_32F, out.data() + 1);
                EXPECT_LE(cv::norm(ours, expected.rowRange(c.firstRow, lastRow), cv::NORM_INF), 1e-5);
                EXPECT_EQ(out.front(), 1234.f);
                EXPECT_EQ(out.back(), 1234.f);
            }
        }
    }
}
