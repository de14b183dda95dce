#pragma once

// Shared by the tests of our network layers: OpenCV's own layers, to compare
// ours with, whatever this process registered under their type names.

#include <opencv2/dnn.hpp>
#include <opencv2/dnn/all_layers.hpp>

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

} // namespace faciward::testing
