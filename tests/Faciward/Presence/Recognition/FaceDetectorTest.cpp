#include "Faciward/Presence/Recognition/FaceDetector.h"
#include "tests/Faciward/Presence/Recognition/FakeVision.h"

#include <gtest/gtest.h>

namespace ft = faciward::testing;
using faciward::platform::Image;
using faciward::platform::VisionError;
using faciward::presence::FaceDetector;

namespace {

FaceDetector::Error errorOf(const FaceDetector &detector, const Image &frame)
{
    try {
        detector.detect(frame);
    } catch (const FaceDetector::Exception &e) {
        return e.error();
    }
    ADD_FAILURE() << "no error";
    return FaceDetector::Error::couldNotFindFace;
}

class FaceDetectorTest : public ::testing::Test
{
protected:
    std::shared_ptr<ft::FakeFaceRectangles> rectangles = std::make_shared<ft::FakeFaceRectangles>();
    FaceDetector detector{rectangles};
};

} // namespace

TEST_F(FaceDetectorTest, everyFaceBecomesA224PictureInTheDetectorsOrder)
{
    rectangles->boxes[1] = {cv::Rect(40, 40, 16, 16), cv::Rect(4, 4, 10, 30)};
    const Image frame = ft::fakeFrame(1, {{cv::Rect(40, 40, 16, 16), 7}, {cv::Rect(4, 4, 10, 30), 9}});
    const auto pictures = detector.detect(frame);
    ASSERT_EQ(pictures.size(), 2u);
    for (const auto &p : pictures) {
        EXPECT_EQ(p.size(), cv::Size(224, 224));
        EXPECT_EQ(p.type(), CV_8UC3);
    }
    EXPECT_EQ(pictures[0].at<cv::Vec3b>(112, 112)[1], 7);
    EXPECT_EQ(pictures[1].at<cv::Vec3b>(112, 112)[1], 9) << "a tall box is stretched to the square";
    const auto faces = detector.detectFaces(frame);
    ASSERT_EQ(faces.size(), 2u);
    EXPECT_EQ(faces[1].box.rect, cv::Rect2d(4, 4, 10, 30));
}

TEST_F(FaceDetectorTest, boxesRunningOffTheFrameArePadded)
{
    rectangles->boxes[1] = {cv::Rect(-10, -10, 30, 30), cv::Rect(50, 50, 40, 40), cv::Rect(200, 200, 10, 10)};
    const auto pictures = detector.detect(ft::fakeFrame(1, {{cv::Rect(0, 0, 20, 20), 5}}));
    ASSERT_EQ(pictures.size(), 3u);
    for (const auto &p : pictures)
        EXPECT_EQ(p.size(), cv::Size(224, 224));
    EXPECT_EQ(pictures[0].at<cv::Vec3b>(2, 2), cv::Vec3b(0, 0, 0)) << "outside the frame is black";
    EXPECT_EQ(cv::countNonZero(pictures[2].reshape(1)), 0) << "a box beyond the frame gives a black picture";
}

TEST_F(FaceDetectorTest, failuresAreTheTypedErrors)
{
    int detections = 0;
    rectangles->onDetect = [&detections](int) { ++detections; };
    // Unusable pictures are refused before detection.
    for (const Image &bad : {Image(), Image(8, 8, CV_16UC3), Image(8, 8, CV_32FC1)})
        EXPECT_EQ(errorOf(detector, bad), FaceDetector::Error::couldNotGetCIImage);
    EXPECT_EQ(detections, 0);
    rectangles->boxes[2] = {cv::Rect(10, 10, 0, 10), cv::Rect(10, 10, -5, 10)}; // no area: no face
    rectangles->failures[3] = VisionError::inferenceFailed;
    rectangles->failures[4] = VisionError::unsupportedImage;
    rectangles->failures[5] = VisionError::noOutput;
    const std::pair<int, FaceDetector::Error> cases[] = {
        {1, FaceDetector::Error::couldNotFindFace}, // no face is an error, never an empty list
        {2, FaceDetector::Error::couldNotFindFace},
        {3, FaceDetector::Error::couldNotProcessImageRequest},
        {4, FaceDetector::Error::couldNotGetCIImage},
        {5, FaceDetector::Error::couldNotProcessImageRequest},
    };
    for (const auto &[tag, error] : cases)
        EXPECT_EQ(errorOf(detector, ft::fakeFrame(tag)), error) << tag;
    EXPECT_EQ(errorOf(FaceDetector(nullptr), ft::fakeFrame(1)), FaceDetector::Error::couldNotProcessImageRequest);
    EXPECT_STREQ(FaceDetector::Exception(FaceDetector::Error::couldNotFindFace).what(), "couldNotFindFace");
}
