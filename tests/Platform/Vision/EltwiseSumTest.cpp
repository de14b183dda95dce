#include "Platform/Vision/EltwiseSum.h"
#include "tests/Platform/Vision/OpenCvLayers.h"

#include <opencv2/dnn.hpp>
#include <opencv2/dnn/all_layers.hpp>

#include <gtest/gtest.h>

#include <string>

using faciward::platform::EltwiseSum;
namespace ft = faciward::testing;

namespace {

// Ours and OpenCV's own side by side, whatever "Eltwise" means in this process.
constexpr const char *oursType = "FaciwardTestEltwiseSum";
constexpr const char *openCvType = "FaciwardTestOpenCvEltwise";

// @p inputs through one Eltwise of @p type, then @p activation if any (a
// PReLU's slopes: the second input's first values).
cv::Mat run(const char *type, cv::dnn::LayerParams params, const std::vector<cv::Mat> &inputs,
            const std::string &activation)
{
    cv::dnn::Net net;
    std::vector<cv::String> names;
    for (std::size_t i = 0; i < inputs.size(); ++i)
        names.push_back("in" + std::to_string(i));
    net.setInputsNames(names);
    const int sum = net.addLayer("sum", type, params);
    for (std::size_t i = 0; i < inputs.size(); ++i)
        net.connect(0, int(i), sum, int(i));
    if (activation == "ReLU") {
        cv::dnn::LayerParams relu;
        net.addLayerToPrev("activation", "ReLU", relu);
    } else if (activation == "PReLU") {
        cv::dnn::LayerParams prelu;
        prelu.blobs.push_back(inputs[1].reshape(1, int(inputs[1].total())).rowRange(0, inputs[0].size[1]).clone());
        net.addLayerToPrev("activation", "PReLU", prelu);
    }
    net.setPreferableBackend(cv::dnn::DNN_BACKEND_OPENCV);
    net.setPreferableTarget(cv::dnn::DNN_TARGET_CPU);
    for (std::size_t i = 0; i < inputs.size(); ++i)
        net.setInput(inputs[i], names[i]);
    return net.forward().clone();
}

} // namespace

TEST(EltwiseSum, agreesWithOpenCvOnSumsAndLeavesTheRestToIt)
{
    const ft::RegisteredLayer ours(oursType, &EltwiseSum::create);
    const ft::RegisteredLayer openCv(openCvType, &ft::openCvLayer<cv::dnn::EltwiseLayer>);
    cv::RNG rng(20261207);
    const struct
    {
        std::vector<int> shape;
        int inputs;
        const char *operation;
        std::vector<double> coefficients;
        std::string activation;
    } cases[] = {
        {{1, 64, 28, 28}, 2, "sum", {}, ""},           // the embedding's residual additions
        {{1, 64, 30, 40}, 2, "sum", {}, "ReLU"},       // the detector's, with its ReLU
        {{2, 5, 7, 3}, 3, "sum", {0.5, -1, 2}, ""},    // weighted, as a subtraction is read
        {{1, 6, 9, 11}, 3, "sum", {1, 2, -1}, "ReLU"}, // the activation after a third input
        {{1, 4420, 2}, 2, "sum", {1, -1}, ""},         // the box decoding's subtraction
        {{1, 6, 9, 11}, 2, "sum", {}, "PReLU"},        // an activation of OpenCV's
        {{1, 6, 9, 11}, 2, "prod", {}, ""},            // not a sum: OpenCV's
        {{1, 6, 9, 11}, 3, "max", {}, "ReLU"},
    };
    for (const auto &c : cases) {
        cv::dnn::LayerParams params;
        params.set("operation", c.operation);
        if (!c.coefficients.empty())
            params.set("coeff", cv::dnn::DictValue::arrayReal(c.coefficients.data(), int(c.coefficients.size())));
        std::vector<cv::Mat> inputs;
        for (int i = 0; i < c.inputs; ++i) {
            inputs.emplace_back(c.shape, CV_32F);
            rng.fill(inputs.back(), cv::RNG::UNIFORM, -2, 2);
        }
        const cv::Mat a = run(oursType, params, inputs, c.activation);
        const cv::Mat b = run(openCvType, params, inputs, c.activation);
        SCOPED_TRACE(std::string(c.operation) + " of " + std::to_string(c.inputs) + " " + c.activation);
        ASSERT_EQ(a.total(), b.total());
        EXPECT_LE(cv::norm(a, b, cv::NORM_INF), 1e-6);
        EXPECT_GT(cv::norm(a, cv::NORM_INF), 0.1); // something was computed
    }
}
