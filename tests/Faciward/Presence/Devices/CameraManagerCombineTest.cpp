#include "Faciward/Presence/Devices/CameraManagerCombine.h"
#include "tests/support/FakeCaptureBackend.h"
#include "tests/support/VirtualScheduler.h"

#include <gtest/gtest.h>

using faciward::platform::CaptureAuthorization;
using faciward::platform::CaptureDevice;
using faciward::platform::CaptureError;
using faciward::presence::CameraError;
using faciward::presence::CameraException;
using faciward::presence::CameraManagerCombine;
using faciward::presence::CameraStatus;
using faciward::testing::FakeCaptureBackend;
using faciward::testing::VirtualScheduler;
using namespace std::chrono_literals;

namespace {

const CaptureDevice builtIn{CaptureDevice::Kind::camera, "/dev/video0", "Integrated Camera"};
const CaptureDevice external{CaptureDevice::Kind::camera, "/dev/video2", "USB Camera"};

} // namespace

class CameraManagerCombineTest : public ::testing::Test
{
protected:
    void SetUp() override { backend.setDevices({builtIn, external}); }

    // Makes the manager and lets its set-up run, as the first turn of the main loop would.
    CameraManagerCombine &make()
    {
        manager = std::make_unique<CameraManagerCombine>(main, backend);
        subscriptions.push_back(manager->cameraErrorSubject().sink(
            [this](const CameraException &error) { errors.push_back(error.what()); }));
        subscriptions.push_back(manager->isConfiguredSubject().sink([this](const bool &v) { configured.push_back(v); }));
        subscriptions.push_back(manager->cameraFrameCGImageSubject().sink([this](const cv::Mat &frame) {
            order.push_back("bitmap");
            bitmaps.push_back(frame);
        }));
        subscriptions.push_back(manager->cameraFrameSubject().sink([this](const cv::Mat &frame) {
            order.push_back("image");
            images.push_back(frame);
        }));
        main.runPending();
        return *manager;
    }

    VirtualScheduler main;
    FakeCaptureBackend backend{main};
    std::unique_ptr<CameraManagerCombine> manager;
    faciward::platform::CancellableSet subscriptions;
    std::vector<std::string> errors;
    std::vector<bool> configured;
    std::vector<std::string> order;
    std::vector<cv::Mat> bitmaps;
    std::vector<cv::Mat> images;
};

TEST_F(CameraManagerCombineTest, creationChoosesTheFirstCameraAndReportsConfigured)
{
    auto &camera = make();
    EXPECT_EQ(camera.status(), CameraStatus::configured);
    EXPECT_EQ(camera.selectedDevice(), builtIn);
    EXPECT_EQ(backend.selections(), (std::vector<CaptureDevice>{builtIn}));
    EXPECT_EQ(configured, (std::vector<bool>{false, true}));
    EXPECT_EQ(camera.availableCameras(), (std::vector<CaptureDevice>{builtIn, external}));
    EXPECT_TRUE(errors.empty());
    EXPECT_FALSE(camera.isRunning());
    EXPECT_EQ(backend.startCalls(), 0) << "set-up must not switch the camera on";
}

TEST_F(CameraManagerCombineTest, noCameraAtAllGivesCameraUnavailableOnceAndNothingCrashes)
{
    backend.setDevices({});
    auto &camera = make();
    EXPECT_EQ(errors, (std::vector<std::string>{"Camera unavailable"}));
    EXPECT_EQ(camera.status(), CameraStatus::failed);
    EXPECT_EQ(configured, (std::vector<bool>{false, false}));

    // The engine asks again at every check; the same error is not repeated.
    camera.startRunning();
    camera.startRunning();
    main.runPending();
    EXPECT_FALSE(camera.isRunning());
    EXPECT_EQ(backend.startCalls(), 0);
    EXPECT_EQ(errors.size(), 1u);
    camera.stopRunning();
}

TEST_F(CameraManagerCombineTest, aCameraPluggedInAfterAFailureIsFoundOnTheNextStart)
{
    backend.setDevices({});
    auto &camera = make();
    ASSERT_EQ(camera.status(), CameraStatus::failed);
    backend.setDevices({external});
    camera.startRunning();
    EXPECT_TRUE(camera.isRunning());
    EXPECT_EQ(camera.selectedDevice(), external);
    backend.deliver(cv::Mat(2, 2, CV_8UC3, cv::Scalar(1, 2, 3)));
    EXPECT_EQ(camera.status(), CameraStatus::configured);
}

TEST_F(CameraManagerCombineTest, accessDeniedAtCreationLeavesTheSessionWithoutInput)
{
    backend.setAuthorization(CaptureAuthorization::denied);
    auto &camera = make();
    EXPECT_EQ(camera.status(), CameraStatus::unauthorized);
    EXPECT_EQ(errors, (std::vector<std::string>{"Camera access denied"}));
    EXPECT_TRUE(backend.selections().empty());
    EXPECT_EQ(camera.selectedDevice(), std::nullopt);
    EXPECT_EQ(configured, (std::vector<bool>{false, true}));

    // Starting tries the device; it refuses again, which is not reported twice.
    backend.failStarts(CaptureError::permissionDenied, "Permission denied");
    camera.startRunning();
    main.runPending();
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(camera.status(), CameraStatus::unauthorized);
    EXPECT_FALSE(camera.isRunning());
}

TEST_F(CameraManagerCombineTest, restrictedAndUnknownAuthorisationHaveTheirOwnTexts)
{
    backend.setAuthorization(CaptureAuthorization::restricted);
    make();
    backend.setAuthorization(CaptureAuthorization::unknown);
    manager.reset();
    make();
    EXPECT_EQ(errors, (std::vector<std::string>{"Attempting to access a restricted capture device",
                                                "Unknown authorization status for capture device"}));
    EXPECT_EQ(manager->status(), CameraStatus::unauthorized);
}

TEST_F(CameraManagerCombineTest, aFailedStartIsReportedOnceAndTriedAgainOnTheNextStart)
{
    auto &camera = make();
    backend.failStarts(CaptureError::openFailed, "Device or resource busy");
    camera.startRunning();
    EXPECT_TRUE(errors.empty()) << "failures arrive later, through the main scheduler";
    main.runPending();
    EXPECT_EQ(errors, (std::vector<std::string>{"Creating capture input for camera: Device or resource busy"}));
    EXPECT_EQ(camera.status(), CameraStatus::failed);
    EXPECT_FALSE(camera.isRunning());

    camera.startRunning();
    main.runPending();
    EXPECT_EQ(backend.startCalls(), 2) << "a failed camera is tried again";
    EXPECT_EQ(errors.size(), 1u) << "the same failure is reported once while it lasts";

    backend.failStarts(std::nullopt);
    camera.startRunning();
    EXPECT_TRUE(camera.isRunning());
    backend.deliver(cv::Mat(2, 2, CV_8UC3));
    EXPECT_EQ(camera.status(), CameraStatus::configured);

    // After frames came, the same failure is news again.
    camera.stopRunning();
    backend.failStarts(CaptureError::openFailed, "Device or resource busy");
    camera.startRunning();
    main.runPending();
    EXPECT_EQ(errors.size(), 2u);
}

TEST_F(CameraManagerCombineTest, everyFrameGoesToBothSubjectsBitmapFirstAndOnlyWhileRunning)
{
    auto &camera = make();
    EXPECT_FALSE(backend.deliver(cv::Mat(2, 2, CV_8UC3)));
    camera.startRunning();
    for (int i = 0; i < 3; ++i)
        backend.deliver(cv::Mat(2, 2, CV_8UC3, cv::Scalar(i, i, i)));
    camera.stopRunning();
    EXPECT_FALSE(backend.deliver(cv::Mat(2, 2, CV_8UC3)));
    EXPECT_FALSE(camera.isRunning());

    EXPECT_EQ(order, (std::vector<std::string>{"bitmap", "image", "bitmap", "image", "bitmap", "image"}));
    ASSERT_EQ(images.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(images[i].at<cv::Vec3b>(0, 0)[0], i);
        EXPECT_EQ(images[i].data, bitmaps[i].data) << "both subjects share one picture";
    }
}

TEST_F(CameraManagerCombineTest, aCameraLostWhileCapturingIsReportedAndCanBeStartedAgain)
{
    auto &camera = make();
    backend.produceFrames(33ms);
    camera.startRunning();
    main.advanceBy(100ms);
    ASSERT_EQ(images.size(), 3u);
    backend.loseDevice("No such device");
    main.advanceBy(100ms);
    EXPECT_EQ(errors, (std::vector<std::string>{"Creating capture input for camera: No such device"}));
    EXPECT_FALSE(camera.isRunning());
    EXPECT_EQ(camera.status(), CameraStatus::failed);
    EXPECT_EQ(images.size(), 3u);

    camera.startRunning();
    main.advanceBy(100ms);
    EXPECT_EQ(images.size(), 6u);
    EXPECT_EQ(camera.status(), CameraStatus::configured);
}

TEST_F(CameraManagerCombineTest, selectingACameraThatIsNotOfferedChangesNothing)
{
    auto &camera = make();
    const CaptureDevice stranger{CaptureDevice::Kind::camera, "/dev/video9", "Elsewhere"};
    camera.selectCamera(stranger);
    EXPECT_EQ(camera.selectedDevice(), builtIn);
    EXPECT_EQ(backend.selections().size(), 1u);

    camera.selectCamera(external);
    EXPECT_EQ(camera.selectedDevice(), external);
    EXPECT_EQ(backend.selected(), external);
    EXPECT_EQ(camera.status(), CameraStatus::configured);
}

TEST_F(CameraManagerCombineTest, theChosenCameraIsKeptAcrossStarts)
{
    auto &camera = make();
    camera.selectCamera(external);
    camera.startRunning();
    camera.stopRunning();
    camera.startRunning();
    EXPECT_EQ(backend.selected(), external);
    EXPECT_EQ(backend.selections().back(), external);
}

TEST_F(CameraManagerCombineTest, aManagerDestroyedBeforeItsSetUpRanDoesNothing)
{
    manager = std::make_unique<CameraManagerCombine>(main, backend);
    manager.reset();
    main.runPending();
    EXPECT_TRUE(backend.selections().empty());
}

TEST_F(CameraManagerCombineTest, theStatusSubjectIsNeverSent)
{
    auto &camera = make();
    int sent = 0;
    auto subscription = camera.cameraStatusSubject().sink([&](const bool &) { ++sent; });
    camera.startRunning();
    backend.deliver(cv::Mat(2, 2, CV_8UC3));
    camera.stopRunning();
    EXPECT_EQ(sent, 0);
}
