#include "Faciward/Presence/Recognition/FaceDetector.h"
#include "tests/Faciward/Presence/Recognition/FakeVision.h"
#include "tests/Platform/Vision/VisionTestData.h"

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

TEST_F(FaceDetectorTest, noFaceIsAnErrorNeverAnEmptyList)
{
    EXPECT_EQ(errorOf(detector, ft::fakeFrame(1)), FaceDetector::Error::couldNotFindFace);
}

TEST_F(FaceDetectorTest, boxesThatAreNoAreaAreNotFaces)
{
    rectangles->boxes[1] = {cv::Rect(10, 10, 0, 10), cv::Rect(10, 10, -5, 10)};
    EXPECT_EQ(errorOf(detector, ft::fakeFrame(1)), FaceDetector::Error::couldNotFindFace);
}

TEST_F(FaceDetectorTest, unusablePicturesAreRefusedBeforeDetection)
{
    int detections = 0;
    rectangles->onDetect = [&detections](int) { ++detections; };
    EXPECT_EQ(errorOf(detector, Image()), FaceDetector::Error::couldNotGetCIImage);
    EXPECT_EQ(errorOf(detector, Image(8, 8, CV_16UC3)), FaceDetector::Error::couldNotGetCIImage);
    EXPECT_EQ(errorOf(detector, Image(8, 8, CV_32FC1)), FaceDetector::Error::couldNotGetCIImage);
    EXPECT_EQ(detections, 0);
}

TEST_F(FaceDetectorTest, detectorFailuresBecomeTheTypedError)
{
    rectangles->failures[1] = VisionError::inferenceFailed;
    rectangles->failures[2] = VisionError::unsupportedImage;
    rectangles->failures[3] = VisionError::noOutput;
    EXPECT_EQ(errorOf(detector, ft::fakeFrame(1)), FaceDetector::Error::couldNotProcessImageRequest);
    EXPECT_EQ(errorOf(detector, ft::fakeFrame(2)), FaceDetector::Error::couldNotGetCIImage);
    EXPECT_EQ(errorOf(detector, ft::fakeFrame(3)), FaceDetector::Error::couldNotProcessImageRequest);
    EXPECT_EQ(errorOf(FaceDetector(nullptr), ft::fakeFrame(1)), FaceDetector::Error::couldNotProcessImageRequest);
}

TEST_F(FaceDetectorTest, errorsPrintAsTheirCaseNames)
{
    EXPECT_EQ(name(FaceDetector::Error::couldNotFindFace), "couldNotFindFace");
    EXPECT_EQ(name(FaceDetector::Error::couldNotGetCIImage), "couldNotGetCIImage");
    EXPECT_EQ(name(FaceDetector::Error::couldNotProcessImageRequest), "couldNotProcessImageRequest");
    EXPECT_STREQ(FaceDetector::Exception(FaceDetector::Error::couldNotFindFace).what(), "couldNotFindFace");
}

TEST(FaceDetectorReal, findsTheFacesOfAGroupPictureAndNoneInABlankFrame)
{
    const FaceDetector detector(ft::sharedFaceModels()->faceRectangles());
    const auto pictures = detector.detect(ft::developmentPicture("faces/2008_002506.jpg"));
    EXPECT_EQ(pictures.size(), 3u);
    for (const auto &p : pictures)
        EXPECT_EQ(p.size(), cv::Size(FaceDetector::cropSize, FaceDetector::cropSize));
    EXPECT_EQ(errorOf(detector, Image(480, 640, CV_8UC3, cv::Scalar::all(128))), FaceDetector::Error::couldNotFindFace);
}

TEST(FaceDetectorReal, aFaceAtTheFrameEdgeIsCroppedWithoutError)
{
    const FaceDetector detector(ft::sharedFaceModels()->faceRectangles());
    // The face pushed half out of the frame's left edge.
    const Image picture = ft::developmentPicture("johns/John_Simm/000288_00470387.jpg");
    Image frame(300, 400, CV_8UC3, cv::Scalar::all(100));
    picture(cv::Rect(50, 0, 100, 150)).copyTo(frame(cv::Rect(0, 75, 100, 150)));
    const auto faces = detector.detectFaces(frame);
    ASSERT_FALSE(faces.empty());
    EXPECT_LT(faces[0].box.rect.x - faces[0].box.rect.width * 0.25, 0) << "the crop reaches past the edge";
    EXPECT_EQ(faces[0].picture.size(), cv::Size(224, 224));
}
