#include "Platform/Vision/EltwiseSum.h"

#include "Platform/Vision/OpenCvLayerShell.h"

#include <opencv2/core/utility.hpp>
#include <opencv2/dnn/all_layers.hpp>

#include <algorithm>
#include <mutex>
#include <optional>

namespace faciward::platform {

namespace {

// Values a parallel task adds when no activation needs whole planes.
constexpr std::size_t sumRun = 4096;

// The coefficients of a sum: one per input, or none for plain ones; empty
// when the layer is not a sum.
std::optional<std::vector<float>> sumCoefficients(const cv::dnn::LayerParams &params)
{
    if (params.has("operation") && cv::toLowerCase(params.get<cv::String>("operation")) != "sum")
        return std::nullopt;
    std::vector<float> coefficients;
    if (params.has("coeff")) {
        const cv::dnn::DictValue &value = params.get("coeff");
        for (int i = 0; i < value.size(); ++i)
            coefficients.push_back(float(value.get<double>(i)));
    }
    return coefficients;
}

class EltwiseSumLayer final : public OpenCvLayerShell
{
public:
    EltwiseSumLayer(const cv::dnn::LayerParams &params, cv::Ptr<cv::dnn::Layer> openCv,
                    std::optional<std::vector<float>> coefficients)
        : OpenCvLayerShell(params, std::move(openCv))
        , m_coefficients(std::move(coefficients))
    {
    }

    void forward(cv::InputArrayOfArrays inputsArray, cv::OutputArrayOfArrays outputsArray,
                 cv::OutputArrayOfArrays internalsArray) override
    {
        std::vector<cv::Mat> inputs, outputs;
        inputsArray.getMatVector(inputs);
        outputsArray.getMatVector(outputs);
        if (!computed(inputs, outputs))
            m_openCv->forward(inputsArray, outputsArray, internalsArray);
    }

private:
    bool computed(const std::vector<cv::Mat> &inputs, std::vector<cv::Mat> &outputs) const
    {
        if (!m_coefficients || inputs.size() < 2 || outputs.size() != 1)
            return false;
        const std::vector<float> &coefficients = *m_coefficients;
        if (!coefficients.empty() && coefficients.size() != inputs.size())
            return false;
        cv::Mat &out = outputs[0];
        if (out.type() != CV_32F || !out.isContinuous() || out.dims < 2)
            return false;
        for (const cv::Mat &in : inputs) {
            if (in.type() != CV_32F || !in.isContinuous() || in.dims != out.dims ||
                !std::equal(in.size.p, in.size.p + in.dims, out.size.p))
                return false;
        }
        // OpenCV may give the output the buffer of an input: that input is
        // read first, before anything is written.
        std::vector<std::size_t> order(inputs.size());
        for (std::size_t n = 0; n < order.size(); ++n)
            order[n] = n;
        for (std::size_t n = 0; n < inputs.size(); ++n) {
            if (inputs[n].data == out.data)
                std::swap(order[0], order[n]);
        }
        // A channel-wise activation is applied plane by plane (channels are
        // the second axis); otherwise the tensor is cut into runs of a fixed
        // length, whatever its planes (the box decoding's are of two values).
        const int channels = out.size[1];
        const bool inlineActivation = m_inlineActivation && slopesFit(channels);
        const bool byPlane = m_activation && !(inlineActivation && m_negativeSlopes.size() == 1);
        const std::size_t run = byPlane ? out.total() / (std::size_t(out.size[0]) * channels) : sumRun;
        const int runs = int((out.total() + run - 1) / run);
        cv::parallel_for_(cv::Range(0, runs), [&](const cv::Range &range) {
            for (int r = range.start; r < range.end; ++r) {
                const std::size_t at = std::size_t(r) * run;
                const std::size_t length = std::min(run, out.total() - at);
                float *dst = out.ptr<float>() + at;
                const int channel = byPlane ? r % channels : 0;
                const float slope = inlineActivation ? negativeSlope(channel) : 1.f; // 1: none
                // The first two inputs in one pass, with the activation when
                // there are no more (a residual sum: always).
                const float *a = inputs[order[0]].ptr<float>() + at, *b = inputs[order[1]].ptr<float>() + at;
                const float ca = coefficients.empty() ? 1.f : coefficients[order[0]];
                const float cb = coefficients.empty() ? 1.f : coefficients[order[1]];
                const float firstSlope = order.size() == 2 ? slope : 1.f;
                for (std::size_t i = 0; i < length; ++i) {
                    const float sum = ca * a[i] + cb * b[i];
                    dst[i] = std::max(sum, 0.f) + firstSlope * std::min(sum, 0.f); // one of the two is 0
                }
                for (std::size_t n = 2; n < order.size(); ++n) {
                    const float *src = inputs[order[n]].ptr<float>() + at;
                    const float c = coefficients.empty() ? 1.f : coefficients[order[n]];
                    for (std::size_t i = 0; i < length; ++i)
                        dst[i] += c * src[i];
                }
                if (inlineActivation) {
                    if (order.size() > 2) {
                        for (std::size_t i = 0; i < length; ++i)
                            dst[i] = std::max(dst[i], 0.f) + slope * std::min(dst[i], 0.f);
                    }
                } else if (m_activation) {
                    m_activation->forwardSlice(dst, dst, int(length), length, channel, channel + 1);
                }
            }
        });
        return true;
    }

    std::optional<std::vector<float>> m_coefficients; ///< none: not a sum
};

} // namespace

void EltwiseSum::install()
{
    static std::once_flag once;
    std::call_once(once, [] { cv::dnn::LayerFactory::registerLayer("Eltwise", &EltwiseSum::create); });
}

cv::Ptr<cv::dnn::Layer> EltwiseSum::create(cv::dnn::LayerParams &params)
{
    cv::dnn::LayerParams copy = params;
    return cv::makePtr<EltwiseSumLayer>(params, cv::dnn::EltwiseLayer::create(copy), sumCoefficients(params));
}

} // namespace faciward::platform
