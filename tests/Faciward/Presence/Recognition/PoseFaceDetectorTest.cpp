#include "Faciward/Presence/Recognition/PoseFaceDetector.h"
#include "tests/Faciward/Presence/Recognition/FakeVision.h"
#include "tests/Platform/Vision/VisionTestData.h"
#include "tests/support/Guards.h"

#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/imgproc.hpp>
#include <deque>

namespace ft = faciward::testing;
namespace platform = faciward::platform;
using faciward::presence::PoseFaceDetector;
using platform::Image;

namespace {

// Keeps jobs until the test runs them, so that "a measurement is running" is
// a state the test can hold.
struct ManualExecutor
{
    std::deque<std::function<void()>> jobs;

    PoseFaceDetector::Executor executor()
    {
        return [this](std::function<void()> job) { jobs.push_back(std::move(job)); };
    }
    void runAll()
    {
        while (!jobs.empty()) {
            auto job = std::move(jobs.front());
            jobs.pop_front();
            job();
        }
    }
};

class PoseFaceDetectorTest : public ::testing::Test
{
protected:
    ManualExecutor queue;
    std::vector<PoseFaceDetector::FaceData> published;
    std::unique_ptr<PoseFaceDetector> detector =
        std::make_unique<PoseFaceDetector>(ft::sharedFaceModels(), queue.executor());
    faciward::platform::AnyCancellable subscription = detector->faceParametersSubject().sink(
        [this](const PoseFaceDetector::FaceData &data) { published.push_back(data); });

    static Image face(const char *picture) { return ft::webcamFrame(ft::developmentPicture(picture)); }
};

} // namespace

TEST_F(PoseFaceDetectorTest, publishesThePoseInDegreesWithItsFrame)
{
    const Image frame = face("johns/John_Savage/000274_01099061.jpg");
    detector->detect(frame);
    EXPECT_TRUE(detector->isProcessing());
    queue.runAll();
    EXPECT_FALSE(detector->isProcessing());
    ASSERT_EQ(published.size(), 1u);
    EXPECT_EQ(published[0].image.data, frame.data) << "the frame measured, not a copy";
    // In degrees: this face is turned towards the picture's right, by more than radians could say.
    EXPECT_LT(published[0].parameters.yaw, -5);
    EXPECT_LT(std::abs(published[0].parameters.roll), 90);
}

TEST_F(PoseFaceDetectorTest, framesGivenWhileMeasuringAreDropped)
{
    const Image first = face("johns/John_Simm/000297_00470170.jpg");
    const Image second = face("johns/John_Savage/000274_01099061.jpg");
    detector->detect(first);
    detector->detect(second);
    EXPECT_EQ(queue.jobs.size(), 1u);
    queue.runAll();
    ASSERT_EQ(published.size(), 1u);
    EXPECT_EQ(published[0].image.data, first.data);

    // Once idle again, the next frame is measured.
    detector->detect(second);
    queue.runAll();
    ASSERT_EQ(published.size(), 2u);
    EXPECT_EQ(published[1].image.data, second.data);
}

TEST_F(PoseFaceDetectorTest, aFrameWithoutAFacePublishesNothingAndFreesTheDetector)
{
    detector->detect(Image(480, 640, CV_8UC3, cv::Scalar::all(128)));
    queue.runAll();
    EXPECT_TRUE(published.empty());
    EXPECT_FALSE(detector->isProcessing());
    detector->detect(Image()); // not even a picture
    queue.runAll();
    EXPECT_TRUE(published.empty());
    EXPECT_FALSE(detector->isProcessing());
}

TEST_F(PoseFaceDetectorTest, aFailedDetectionIsLoggedAndTheNextFrameIsMeasured)
{
    ft::ExpectStderr expected("^faciward: Failed to perform FaceRectangleRequest: model failed: scripted$");
    auto rectangles = std::make_shared<ft::FakeFaceRectangles>();
    rectangles->failures[1] = platform::VisionError::inferenceFailed;
    ManualExecutor own;
    PoseFaceDetector failing(std::make_shared<platform::FaceModels>(rectangles, ft::sharedFaceModels()->landmarks(),
                                                                    nullptr),
                             own.executor());
    int sent = 0;
    auto sink = failing.faceParametersSubject().sink([&sent](const auto &) { ++sent; });
    failing.detect(ft::fakeFrame(1));
    own.runAll();
    std::fflush(stderr);
    EXPECT_EQ(expected.matched(), 1);
    EXPECT_EQ(sent, 0);
    EXPECT_FALSE(failing.isProcessing());
    failing.detect(ft::fakeFrame(2));
    EXPECT_TRUE(failing.isProcessing());
    own.runAll();
    EXPECT_FALSE(failing.isProcessing());
}

TEST_F(PoseFaceDetectorTest, workQueuedForADetectorThatIsGoneDoesNothing)
{
    detector->detect(face("johns/John_Simm/000297_00470170.jpg"));
    detector.reset();
    queue.runAll();
    EXPECT_TRUE(published.empty());
}

namespace {

// The frame turned clockwise by @p degrees about its centre, as a camera
// tilted the other way would show it.
Image turnedClockwise(const Image &frame, double degrees)
{
    const cv::Mat turn = cv::getRotationMatrix2D(cv::Point2f(frame.cols / 2.0f, frame.rows / 2.0f), -degrees, 1.0);
    Image out;
    cv::warpAffine(frame, out, turn, frame.size(), cv::INTER_CUBIC, cv::BORDER_CONSTANT, cv::Scalar(96, 104, 112));
    return out;
}

Image mirrored(const Image &frame)
{
    Image out;
    cv::flip(frame, out, 1);
    return out;
}

} // namespace

TEST_F(PoseFaceDetectorTest, mirroringNegatesYawAndRollAndTurningThePictureAddsItsAngleToRoll)
{
    struct Case
    {
        const char *picture;
        std::function<Image(const Image &)> change;
        double yawSign, rollSign, addedRoll; // in degrees: expected = sign * measured + added
    };
    const Case cases[] = {
        {"johns/John_Savage/000274_01099061.jpg", mirrored, -1, -1, 0},
        {"johns/John_Simm/000297_00470170.jpg", mirrored, -1, -1, 0},
        {"johns/John_Savage/000274_01099061.jpg", [](const Image &f) { return turnedClockwise(f, 12); }, 1, 1, 12},
        {"johns/John_Simm/000297_00470170.jpg", [](const Image &f) { return turnedClockwise(f, -20); }, 1, 1, -20},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.picture);
        const Image frame = face(c.picture);
        published.clear();
        detector->detect(frame);
        queue.runAll();
        detector->detect(c.change(frame));
        queue.runAll();
        ASSERT_EQ(published.size(), 2u);
        const auto &before = published[0].parameters;
        const auto &after = published[1].parameters;
        // A mirror image is measured as the exact mirror of the pose, up to the
        // detector's rounding; a turned one keeps the head's yaw and pitch to
        // within what six landmarks on a resampled picture can tell.
        const double angleTolerance = c.addedRoll == 0 ? 1e-3 : 0.5;
        const double otherTolerance = c.addedRoll == 0 ? 1e-3 : 2.0;
        EXPECT_NEAR(after.yaw, c.yawSign * before.yaw, otherTolerance);
        EXPECT_NEAR(after.roll, c.rollSign * before.roll + c.addedRoll, angleTolerance);
        EXPECT_NEAR(after.pitch, before.pitch, otherTolerance);
    }
}
