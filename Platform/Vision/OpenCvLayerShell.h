#pragma once

#include <opencv2/dnn.hpp>
#include <opencv2/dnn/all_layers.hpp>

#include <algorithm>
#include <vector>

namespace faciward::platform {

/// @brief The part our layers share: OpenCV's own layer for the same
/// parameters, kept inside, which sizes the outputs, decides which activation
/// is folded in, and computes whatever case a layer leaves to it.
class OpenCvLayerShell : public cv::dnn::Layer
{
public:
    OpenCvLayerShell(const cv::dnn::LayerParams &params, cv::Ptr<cv::dnn::Layer> openCv)
        : cv::dnn::Layer(params)
        , m_openCv(std::move(openCv))
    {
    }

    /// @brief OpenCV's convolution layer for @p params.
    static cv::Ptr<cv::dnn::Layer> openCvConvolution(const cv::dnn::LayerParams &params)
    {
        cv::dnn::LayerParams copy = params;
        return cv::dnn::ConvolutionLayer::create(copy);
    }

    bool getMemoryShapes(const std::vector<cv::dnn::MatShape> &inputs, int requiredOutputs,
                         std::vector<cv::dnn::MatShape> &outputs,
                         std::vector<cv::dnn::MatShape> &internals) const override
    {
        return m_openCv->getMemoryShapes(inputs, requiredOutputs, outputs, internals);
    }

    void finalize(cv::InputArrayOfArrays inputs, cv::OutputArrayOfArrays outputs) override
    {
        m_openCv->finalize(inputs, outputs);
    }

    // The activation that follows (PReLU, ReLU) is applied as each part of the
    // output is done; both paths must agree on it, so OpenCV's layer decides.
    bool setActivation(const cv::Ptr<cv::dnn::ActivationLayer> &activation) override
    {
        const bool taken = m_openCv->setActivation(activation);
        m_activation = taken ? activation : cv::Ptr<cv::dnn::ActivationLayer>();
        m_negativeSlopes.assign(1, 1.f);
        m_inlineActivation = false;
        if (const auto relu = m_activation.dynamicCast<cv::dnn::ReLULayer>()) {
            m_negativeSlopes.assign(1, relu->negativeSlope);
            m_inlineActivation = true;
        } else if (m_activation.dynamicCast<cv::dnn::ChannelsPReLULayer>() && m_activation->blobs.size() == 1 &&
                   m_activation->blobs[0].type() == CV_32F && m_activation->blobs[0].isContinuous() &&
                   m_activation->blobs[0].total() > 0) {
            const cv::Mat &slopes = m_activation->blobs[0];
            m_negativeSlopes.assign(slopes.ptr<float>(), slopes.ptr<float>() + slopes.total());
            m_inlineActivation = true;
        }
        return taken;
    }

protected:
    /// @brief The bias of each of @p count output channels (zeros when the
    /// layer has none), followed by zeros up to @p size values.
    static std::vector<float> biasOf(const cv::dnn::LayerParams &params, int count, std::size_t size)
    {
        std::vector<float> bias(std::max(size, std::size_t(count)), 0.f);
        if (params.blobs.size() > 1)
            std::copy_n(params.blobs[1].ptr<float>(), count, bias.begin());
        return bias;
    }

    /// @brief The one input and output of a forward() call, when both are
    /// continuous 4-D float tensors of @p inputChannels and @p outputChannels
    /// channels: the case a layer of ours computes. False otherwise.
    static bool tensors(cv::InputArrayOfArrays inputsArray, cv::OutputArrayOfArrays outputsArray, int inputChannels,
                       int outputChannels, cv::Mat &in, cv::Mat &out)
    {
        // Mat headers taken one by one: this runs for every layer in every
        // forward, and two vectors of them cost an allocation each.
        if (inputsArray.total() != 1 || outputsArray.total() != 1)
            return false;
        in = inputsArray.getMat(0);
        out = outputsArray.getMat(0);
        return in.dims == 4 && out.dims == 4 && in.type() == CV_32F && out.type() == CV_32F && in.isContinuous() &&
               out.isContinuous() && in.size[1] == inputChannels && out.size[1] == outputChannels;
    }

    cv::Ptr<cv::dnn::Layer> m_openCv;
    /// @brief The slope below zero of output channel @p channel: x ↦ x < 0 ?
    /// slope · x : x is the activation folded in when m_inlineActivation (a
    /// ReLU, leaky or not, or a PReLU), and 1 when there is none.
    float negativeSlope(int channel) const
    {
        return m_negativeSlopes.size() == 1 ? m_negativeSlopes[0] : m_negativeSlopes[std::size_t(channel)];
    }

    /// @brief Whether the slopes match @p channels output channels; a layer
    /// that finds they do not leaves the activation to m_activation.
    bool slopesFit(int channels) const
    {
        return m_negativeSlopes.size() == 1 || m_negativeSlopes.size() == std::size_t(channels);
    }

    cv::Ptr<cv::dnn::ActivationLayer> m_activation; ///< null: none folded in
    /// Whether m_activation is x ↦ x < 0 ? slope · x : x, which a layer
    /// applies as it stores its results instead of in a pass of its own.
    bool m_inlineActivation = false;
    std::vector<float> m_negativeSlopes{1.f}; ///< one for every channel, or one per channel
};

} // namespace faciward::platform
