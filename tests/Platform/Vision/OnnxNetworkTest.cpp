#include "Platform/Vision/FaceModels.h"
#include "Platform/Vision/OnnxNetwork.h"
#include "Platform/Vision/VisionError.h"

#include <opencv2/dnn.hpp>

#include <gtest/gtest.h>

#include <string>

using faciward::platform::OnnxNetwork;

TEST(OnnxNetworkTest, aBlobIsBlobFromImagesToTheLastBit)
{
    // The detector's and the embedding network's inputs, one pixel, odd
    // sides, a picture's region (rows apart in memory), grey and BGRA.
    const struct
    {
        int width, height, type;
        bool region;
    } cases[] = {
        {320, 240, CV_8UC3, false}, {112, 112, CV_8UC3, false}, {1, 1, CV_8UC3, false},
        {37, 11, CV_8UC3, true},    {31, 17, CV_8UC1, false},   {16, 9, CV_8UC4, true},
    };
    cv::RNG rng(20261207);
    for (const auto &c : cases) {
        cv::Mat whole(c.height + 4, c.width + 6, c.type);
        rng.fill(whole, cv::RNG::UNIFORM, 0, 256);
        const cv::Mat picture = c.region ? whole(cv::Rect(3, 2, c.width, c.height)) : whole(cv::Rect(0, 0, c.width, c.height)).clone();
        const cv::Mat ours = OnnxNetwork::blob(picture);
        const cv::Mat theirs = cv::dnn::blobFromImage(picture, 1.0 / 128, cv::Size(), cv::Scalar::all(127), false, false);
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + ", " +
                     std::to_string(picture.channels()) + " channels" + (c.region ? ", region" : ""));
        ASSERT_EQ(ours.dims, 4);
        ASSERT_TRUE(std::equal(ours.size.p, ours.size.p + 4, theirs.size.p));
        EXPECT_EQ(cv::norm(ours, theirs, cv::NORM_INF), 0.0);
    }
}

TEST(OnnxNetworkTest, aBlobOfAnEmptyPictureOrOfAnotherDepthIsAnInferenceFailure)
{
    const struct
    {
        const char *what;
        cv::Mat picture;
    } cases[] = {
        {"16-bit", cv::Mat(8, 8, CV_16UC3, cv::Scalar::all(1000))},
        {"float", cv::Mat(8, 8, CV_32FC3, cv::Scalar::all(0.5))},
        {"empty", cv::Mat(0, 0, CV_8UC3)},
    };
    for (const auto &c : cases) {
        try {
            OnnxNetwork::blob(c.picture);
            ADD_FAILURE() << "a blob was made of a " << c.what << " picture";
        } catch (const faciward::platform::VisionException &e) {
            EXPECT_EQ(e.error(), faciward::platform::VisionError::inferenceFailed) << c.what;
        }
    }
}

TEST(OnnxNetworkTest, aRunsOutputsStayTheCallersWhenTheNetworkRunsAgain)
{
    // One copy of the network, so the second run reuses the buffers of the
    // first: the first run's outputs must not share them.
    const auto network = OnnxNetwork::load(faciward::platform::FaceModels::Paths::standard().faceDetector,
                                           {"boxes", "scores"}, cv::Mat(std::vector<int>{1, 3, 240, 320}, CV_32F, 0.f), 1);
    cv::Mat grey(240, 320, CV_8UC3, cv::Scalar::all(90)), noise(240, 320, CV_8UC3);
    cv::RNG(20261207).fill(noise, cv::RNG::UNIFORM, 0, 256);
    const std::vector<cv::Mat> first = network->run(OnnxNetwork::blob(grey));
    std::vector<cv::Mat> kept;
    for (const auto &out : first)
        kept.push_back(out.clone());
    const std::vector<cv::Mat> second = network->run(OnnxNetwork::blob(noise));
    ASSERT_EQ(first.size(), 2u);
    ASSERT_EQ(second.size(), 2u);
    for (std::size_t i = 0; i < first.size(); ++i) {
        SCOPED_TRACE("output " + std::to_string(i));
        EXPECT_EQ(cv::norm(first[i], kept[i], cv::NORM_INF), 0.0);
        EXPECT_GT(cv::norm(first[i], second[i], cv::NORM_INF), 0.0); // the inputs differ, and so must the outputs
        EXPECT_NE(first[i].data, second[i].data);
    }
}
