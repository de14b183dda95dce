#pragma once

// Shared by the tests of our network layers: OpenCV's own layers, to compare
// ours with, whatever this process registered under their type names.

#include <opencv2/dnn.hpp>
#include <opencv2/dnn/all_layers.hpp>

#include <string>

namespace faciward::testing {

/// @brief OpenCV's own layer of class @p OpenCvLayer, as a layer factory's constructor.
template <class OpenCvLayer>
cv::Ptr<cv::dnn::Layer> openCvLayer(cv::dnn::LayerParams &params)
{
    return OpenCvLayer::create(params);
}

/// @brief Registers @p make under @p type for its lifetime.
class RegisteredLayer
{
public:
    RegisteredLayer(const char *type, cv::dnn::LayerFactory::Constructor make)
        : m_type(type)
    {
        cv::dnn::LayerFactory::registerLayer(type, make);
    }
    ~RegisteredLayer() { cv::dnn::LayerFactory::unregisterLayer(m_type); }
    RegisteredLayer(const RegisteredLayer &) = delete;
    RegisteredLayer &operator=(const RegisteredLayer &) = delete;

private:
    const char *m_type;
};

/// @brief The parameters of a convolution of @p group groups, @p inputs to
/// @p outputs channels, a square @p kernel with @p stride and @p pad on every
/// side, no dilation, and random weights (and bias) in [-1, 1).
inline cv::dnn::LayerParams convolutionParams(int inputs, int outputs, int kernel, int stride, int pad, int group,
                                              bool bias, cv::RNG &rng)
{
    cv::dnn::LayerParams params;
    params.name = "conv";
    params.type = "Convolution";
    const int sizes[] = {kernel, kernel}, strides[] = {stride, stride};
    const int pads[] = {pad, pad, pad, pad}, dilations[] = {1, 1};
    params.set("kernel_size", cv::dnn::DictValue::arrayInt(sizes, 2));
    params.set("stride", cv::dnn::DictValue::arrayInt(strides, 2));
    params.set("pad", cv::dnn::DictValue::arrayInt(pads, 4));
    params.set("dilation", cv::dnn::DictValue::arrayInt(dilations, 2));
    params.set("group", group);
    params.set("num_output", outputs);
    params.set("bias_term", bias);
    params.blobs.emplace_back(std::vector<int>{outputs, inputs / group, kernel, kernel}, CV_32F);
    if (bias)
        params.blobs.emplace_back(outputs, 1, CV_32F);
    for (auto &blob : params.blobs)
        rng.fill(blob, cv::RNG::UNIFORM, -1, 1);
    return params;
}

/// @brief The parameters of an activation layer of @p type ("ReLU", "PReLU"
/// with random slopes in [0, 0.5) for @p channels, "ReLU6" clipped to [0, 1]).
inline cv::dnn::LayerParams activationParams(const std::string &type, int channels, cv::RNG &rng)
{
    cv::dnn::LayerParams activation;
    if (type == "PReLU") {
        activation.blobs.emplace_back(channels, 1, CV_32F);
        rng.fill(activation.blobs.back(), cv::RNG::UNIFORM, 0, 0.5);
    } else if (type == "ReLU6") {
        activation.set("min_value", 0.f);
        activation.set("max_value", 1.f);
    }
    return activation;
}

} // namespace faciward::testing
