#include "Platform/Vision/LastAxisSoftmax.h"

#include "Platform/Vision/OpenCvLayerShell.h"

#include <opencv2/dnn/all_layers.hpp>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace faciward::platform {

namespace {

class LastAxisSoftmaxLayer final : public OpenCvLayerShell
{
public:
    LastAxisSoftmaxLayer(const cv::dnn::LayerParams &params, cv::Ptr<cv::dnn::Layer> openCv)
        : OpenCvLayerShell(params, std::move(openCv))
        , m_axis(params.get<int>("axis", 1))
    {
    }

    void forward(cv::InputArrayOfArrays inputsArray, cv::OutputArrayOfArrays outputsArray,
                 cv::OutputArrayOfArrays internalsArray) override
    {
        std::vector<cv::Mat> inputs, outputs;
        inputsArray.getMatVector(inputs);
        outputsArray.getMatVector(outputs);
        const auto softmax = m_openCv.dynamicCast<cv::dnn::SoftmaxLayer>();
        if (!softmax || softmax->logSoftMax || inputs.size() != 1 || outputs.size() != 1 || !lastAxis(inputs[0]) ||
            inputs[0].type() != CV_32F || outputs[0].type() != CV_32F || !inputs[0].isContinuous() ||
            !outputs[0].isContinuous() || inputs[0].total() != outputs[0].total()) {
            m_openCv->forward(inputsArray, outputsArray, internalsArray);
            return;
        }
        const cv::Mat &in = inputs[0];
        const std::size_t length = std::size_t(in.size[in.dims - 1]);
        const std::size_t rows = in.total() / length;
        const float *src = in.ptr<float>();
        float *dst = outputs[0].ptr<float>();
        for (std::size_t r = 0; r < rows; ++r) {
            const float *x = src + r * length;
            float *y = dst + r * length;
            // Less the row's largest value, no exponential overflows.
            const float largest = *std::max_element(x, x + length);
            float sum = 0.f;
            for (std::size_t i = 0; i < length; ++i) {
                y[i] = std::exp(x[i] - largest);
                sum += y[i];
            }
            const float scale = 1.f / sum;
            for (std::size_t i = 0; i < length; ++i)
                y[i] *= scale;
        }
    }

private:
    bool lastAxis(const cv::Mat &in) const
    {
        return in.dims >= 1 && in.size[in.dims - 1] > 0 && (m_axis == -1 || m_axis == in.dims - 1);
    }

    int m_axis;
};

} // namespace

void LastAxisSoftmax::install()
{
    static std::once_flag once;
    std::call_once(once, [] { cv::dnn::LayerFactory::registerLayer("Softmax", &LastAxisSoftmax::create); });
}

cv::Ptr<cv::dnn::Layer> LastAxisSoftmax::create(cv::dnn::LayerParams &params)
{
    cv::dnn::LayerParams copy = params;
    return cv::makePtr<LastAxisSoftmaxLayer>(params, cv::dnn::SoftmaxLayer::create(copy));
}

} // namespace faciward::platform
