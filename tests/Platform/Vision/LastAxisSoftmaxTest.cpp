#include "Platform/Vision/LastAxisSoftmax.h"
#include "tests/Platform/Vision/OpenCvLayers.h"

#include <opencv2/dnn.hpp>
#include <opencv2/dnn/all_layers.hpp>

#include <gtest/gtest.h>

#include <string>

using faciward::platform::LastAxisSoftmax;
namespace ft = faciward::testing;

namespace {

// Ours and OpenCV's own side by side, whatever "Softmax" means in this process.
constexpr const char *oursType = "FaciwardTestLastAxisSoftmax";
constexpr const char *openCvType = "FaciwardTestOpenCvSoftmax";

cv::Mat run(const char *type, cv::dnn::LayerParams params, const cv::Mat &input)
{
    cv::dnn::Net net;
    net.addLayerToPrev("softmax", type, params);
    net.setPreferableBackend(cv::dnn::DNN_BACKEND_OPENCV);
    net.setPreferableTarget(cv::dnn::DNN_TARGET_CPU);
    net.setInput(input);
    return net.forward().clone();
}

} // namespace

TEST(LastAxisSoftmax, agreesWithOpenCvOnEveryAxisAndForm)
{
    const ft::RegisteredLayer ours(oursType, &LastAxisSoftmax::create);
    const ft::RegisteredLayer openCv(openCvType, &ft::openCvLayer<cv::dnn::SoftmaxLayer>);
    cv::RNG rng(20261207);
    const struct
    {
        std::vector<int> shape;
        int axis;
        bool log;
    } cases[] = {
        {{1, 4420, 2}, 2, false},  // the detector's scores
        {{1, 4420, 2}, -1, false}, // the same axis counted from the end
        {{2, 3, 7}, 2, false},     // rows of more than two
        {{2, 3, 7}, 1, false},     // not the last axis: OpenCV's
        {{2, 3, 7}, 2, true},      // the log form: OpenCV's
    };
    for (const auto &c : cases) {
        cv::dnn::LayerParams params;
        params.set("axis", c.axis);
        params.set("log_softmax", c.log);
        cv::Mat input(c.shape, CV_32F);
        // Large values too: a softmax that skipped subtracting the row's
        // largest would overflow. (Not in the log form, whose smallest
        // values would be minus infinity.)
        const double range = c.log ? 10 : 100;
        rng.fill(input, cv::RNG::UNIFORM, -range, range);
        const cv::Mat ours = run(oursType, params, input);
        const cv::Mat theirs = run(openCvType, params, input);
        SCOPED_TRACE("axis " + std::to_string(c.axis) + (c.log ? ", log" : ""));
        ASSERT_EQ(ours.total(), theirs.total());
        EXPECT_LE(cv::norm(ours, theirs, cv::NORM_INF), 1e-6);
        EXPECT_TRUE(cv::checkRange(ours));
    }
}
