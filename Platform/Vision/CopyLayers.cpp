#include "Platform/Vision/CopyLayers.h"

#include "Platform/Vision/OpenCvLayerShell.h"

#include <opencv2/dnn/all_layers.hpp>

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>

namespace faciward::platform {

namespace {

bool continuousFloats(const std::vector<cv::Mat> &mats)
{
    return std::all_of(mats.begin(), mats.end(),
                       [](const cv::Mat &m) { return m.type() == CV_32F && m.isContinuous(); });
}

// Copies the block of @p in that starts at @p begin and has @p out's shape
// into @p out, in runs along the last axis.
void copyBlock(const cv::Mat &in, cv::Mat &out, const std::vector<int> &begin)
{
    const int dims = out.dims;
    const std::size_t run = std::size_t(out.size[dims - 1]);
    std::size_t runs = 1;
    for (int d = 0; d < dims - 1; ++d)
        runs *= std::size_t(out.size[d]);
    const float *src = in.ptr<float>();
    float *dst = out.ptr<float>();
    bool lastAxisOnly = true;
    for (int d = 0; d < dims - 1; ++d)
        lastAxisOnly = lastAxisOnly && begin[std::size_t(d)] == 0 && out.size[d] == in.size[d];
    if (lastAxisOnly) { // the detector's case: short runs at a fixed stride
        const std::size_t stride = std::size_t(in.size[dims - 1]);
        src += begin[std::size_t(dims - 1)];
        for (std::size_t r = 0; r < runs; ++r) {
            for (std::size_t i = 0; i < run; ++i)
                dst[r * run + i] = src[r * stride + i];
        }
        return;
    }
    std::vector<int> index(std::size_t(dims), 0);
    for (std::size_t r = 0; r < runs; ++r) {
        std::size_t offset = 0;
        for (int d = 0; d < dims; ++d)
            offset = offset * std::size_t(in.size[d]) + std::size_t(index[std::size_t(d)] + begin[std::size_t(d)]);
        std::memcpy(dst + r * run, src + offset, run * sizeof(float));
        for (int d = dims - 2; d >= 0 && ++index[std::size_t(d)] == out.size[d]; --d)
            index[std::size_t(d)] = 0;
    }
}

class CopyLayer : public OpenCvLayerShell
{
public:
    using OpenCvLayerShell::OpenCvLayerShell;

    void forward(cv::InputArrayOfArrays inputsArray, cv::OutputArrayOfArrays outputsArray,
                 cv::OutputArrayOfArrays internalsArray) override
    {
        std::vector<cv::Mat> inputs, outputs;
        inputsArray.getMatVector(inputs);
        outputsArray.getMatVector(outputs);
        if (!continuousFloats(inputs) || !continuousFloats(outputs) || !copied(inputs, outputs))
            m_openCv->forward(inputsArray, outputsArray, internalsArray);
    }

protected:
    /// @brief Computes the outputs and answers true, or answers false having
    /// written nothing.
    virtual bool copied(const std::vector<cv::Mat> &inputs, std::vector<cv::Mat> &outputs) const = 0;
};

class SliceCopy final : public CopyLayer
{
public:
    using CopyLayer::CopyLayer;

private:
    bool copied(const std::vector<cv::Mat> &inputs, std::vector<cv::Mat> &outputs) const override
    {
        const auto slice = m_openCv.dynamicCast<cv::dnn::SliceLayer>();
        if (!slice || inputs.size() != 1 || !slice->sliceSteps.empty() ||
            slice->sliceRanges.size() != outputs.size())
            return false;
        const cv::Mat &in = inputs[0];
        std::vector<std::vector<int>> begins;
        for (std::size_t i = 0; i < outputs.size(); ++i) {
            const auto &ranges = slice->sliceRanges[i];
            if (outputs[i].dims != in.dims || ranges.size() > std::size_t(in.dims))
                return false;
            std::vector<int> begin(std::size_t(in.dims), 0);
            for (int d = 0; d < in.dims; ++d) {
                if (std::size_t(d) < ranges.size() && ranges[std::size_t(d)].start != INT_MIN)
                    begin[std::size_t(d)] = ranges[std::size_t(d)].start;
                if (begin[std::size_t(d)] < 0 || begin[std::size_t(d)] + outputs[i].size[d] > in.size[d])
                    return false;
            }
            begins.push_back(std::move(begin));
        }
        for (std::size_t i = 0; i < outputs.size(); ++i)
            copyBlock(in, outputs[i], begins[i]);
        return true;
    }
};

class ConcatCopy final : public CopyLayer
{
public:
    using CopyLayer::CopyLayer;

private:
    bool copied(const std::vector<cv::Mat> &inputs, std::vector<cv::Mat> &outputs) const override
    {
        const auto concat = m_openCv.dynamicCast<cv::dnn::ConcatLayer>();
        if (!concat || concat->padding || outputs.size() != 1)
            return false;
        cv::Mat &out = outputs[0];
        const int axis = concat->axis < 0 ? concat->axis + out.dims : concat->axis;
        if (axis < 0 || axis >= out.dims)
            return false;
        std::size_t outer = 1, inner = 1;
        for (int d = 0; d < axis; ++d)
            outer *= std::size_t(out.size[d]);
        for (int d = axis + 1; d < out.dims; ++d)
            inner *= std::size_t(out.size[d]);
        int along = 0;
        for (const auto &in : inputs) {
            if (in.dims != out.dims || in.total() != outer * inner * std::size_t(in.size[axis]))
                return false;
            along += in.size[axis];
        }
        if (along != out.size[axis])
            return false;
        const std::size_t outRow = inner * std::size_t(out.size[axis]);
        std::size_t offset = 0;
        for (const auto &in : inputs) {
            const std::size_t row = inner * std::size_t(in.size[axis]);
            const float *src = in.ptr<float>();
            float *dst = out.ptr<float>() + offset;
            for (std::size_t o = 0; o < outer; ++o) {
                for (std::size_t i = 0; i < row; ++i) // rows of a few values: no call per row
                    dst[o * outRow + i] = src[o * row + i];
            }
            offset += row;
        }
        return true;
    }
};

} // namespace

void CopyLayers::install()
{
    static std::once_flag once;
    std::call_once(once, [] {
        cv::dnn::LayerFactory::registerLayer("Slice", &CopyLayers::createSlice);
        cv::dnn::LayerFactory::registerLayer("Concat", &CopyLayers::createConcat);
    });
}

cv::Ptr<cv::dnn::Layer> CopyLayers::createSlice(cv::dnn::LayerParams &params)
{
    cv::dnn::LayerParams copy = params;
    return cv::makePtr<SliceCopy>(params, cv::dnn::SliceLayer::create(copy));
}

cv::Ptr<cv::dnn::Layer> CopyLayers::createConcat(cv::dnn::LayerParams &params)
{
    // Along the channels OpenCV writes the inputs straight into the join's
    // buffer, which it does only for its own layer.
    if (params.get<int>("axis", 1) == 1)
        return cv::dnn::ConcatLayer::create(params);
    cv::dnn::LayerParams copy = params;
    return cv::makePtr<ConcatCopy>(params, cv::dnn::ConcatLayer::create(copy));
}

} // namespace faciward::platform
