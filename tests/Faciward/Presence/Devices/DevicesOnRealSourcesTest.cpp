#include "Faciward/Presence/Devices/CameraManager.h"
#include "Faciward/Presence/Devices/CameraManagerCombine.h"
#include "Faciward/Presence/Devices/FrameManager.h"
#include "Faciward/Presence/Devices/SharedCaptureBackend.h"
#include "Platform/Capture/CaptureSession.h"
#include "tests/support/CaptureSamples.h"
#include "tests/support/Guards.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/VirtualScheduler.h"

#include <gtest/gtest.h>

using faciward::platform::CaptureDevice;
using faciward::platform::CaptureSession;
using faciward::presence::CameraException;
using faciward::presence::CameraManager;
using faciward::presence::CameraManagerCombine;
using faciward::presence::CameraStatus;
using faciward::presence::FrameManager;
using faciward::presence::SharedCaptureBackend;
using faciward::testing::frameNumber;
using faciward::testing::pumpUntil;
using faciward::testing::TempDir;
using faciward::testing::VirtualScheduler;

class DevicesOnRealSourcesTest : public ::testing::Test
{
protected:
    void watch(const CameraManagerCombine &camera)
    {
        subscriptions.push_back(camera.cameraFrameSubject().sink([this](const cv::Mat &f) {
            numbers.push_back(frameNumber(f));
        }));
        subscriptions.push_back(
            camera.cameraErrorSubject().sink([this](const CameraException &e) { errors.push_back(e.what()); }));
    }

    VirtualScheduler main;
    TempDir dir;
    std::vector<int> numbers;
    std::vector<std::string> errors;
    faciward::platform::CancellableSet subscriptions;
};

TEST_F(DevicesOnRealSourcesTest, aVideoFileStandsInForTheCameraAndStopsWithinOneFrame)
{
    ASSERT_TRUE(faciward::testing::writeNumberedVideo(dir / "clip.avi", 6, 25.0));
    const auto source = CaptureDevice::fromPath(dir / "clip.avi");
    CaptureSession session(main, [source] { return std::vector{source}; });
    CameraManagerCombine camera(main, session);
    watch(camera);
    main.runPending();
    ASSERT_EQ(camera.selectedDevice(), source);

    camera.startRunning();
    ASSERT_TRUE(pumpUntil(main, [&] { return numbers.size() >= 5; }));
    camera.stopRunning();
    const auto atStop = numbers.size();
    EXPECT_EQ(std::vector<int>(numbers.begin(), numbers.begin() + 5), (std::vector<int>{0, 1, 2, 3, 4}));
    // Frames the capture thread had already posted are not delivered after the stop.
    main.runPending();
    EXPECT_EQ(numbers.size(), atStop);

    // The next run starts the file over; nothing of the stopped run comes in between.
    camera.startRunning();
    ASSERT_TRUE(pumpUntil(main, [&] { return numbers.size() > atStop; }));
    EXPECT_EQ(numbers[atStop], 0);
    camera.stopRunning();
    EXPECT_TRUE(errors.empty());
}

TEST_F(DevicesOnRealSourcesTest, noDeviceAtAllGivesCameraUnavailableAndNothingCrashes)
{
    TempDir emptyDev;
    CaptureSession session(main, [&] { return CaptureDevice::discover(emptyDev.path()); });
    CameraManagerCombine camera(main, session);
    watch(camera);
    main.runPending();
    camera.startRunning();
    main.runPending();
    EXPECT_EQ(errors, (std::vector<std::string>{"Camera unavailable"}));
    EXPECT_EQ(camera.status(), CameraStatus::failed);
    EXPECT_FALSE(camera.isRunning());
}

TEST_F(DevicesOnRealSourcesTest, aFolderThatDisappearsIsReportedAndTheCameraWorksAgainOnTheNextStart)
{
    faciward::testing::writeNumberedPictures(dir / "pictures", 3);
    const auto source = CaptureDevice::fromPath(dir / "pictures");
    CaptureSession session(main, [source] { return std::vector{source}; });
    CameraManagerCombine camera(main, session);
    watch(camera);
    main.runPending();
    camera.startRunning();
    ASSERT_TRUE(pumpUntil(main, [&] { return numbers.size() >= 1; }));
    std::filesystem::rename(dir / "pictures", dir / "elsewhere");
    ASSERT_TRUE(pumpUntil(main, [&] { return !errors.empty(); }));
    EXPECT_EQ(errors[0], "Creating capture input for camera: No such file or directory");
    EXPECT_FALSE(camera.isRunning());
    EXPECT_EQ(camera.status(), CameraStatus::failed);

    std::filesystem::rename(dir / "elsewhere", dir / "pictures");
    const auto before = numbers.size();
    camera.startRunning();
    ASSERT_TRUE(pumpUntil(main, [&] { return numbers.size() > before; }));
    EXPECT_EQ(camera.status(), CameraStatus::configured);
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(DevicesOnRealSourcesTest, enrolmentAndEngineShareOnePictureFolder)
{
    faciward::testing::writeNumberedPictures(dir / "pictures", 4);
    const auto source = CaptureDevice::fromPath(dir / "pictures");
    CaptureSession session(main, [source] { return std::vector{source}; });
    SharedCaptureBackend shared(session);
    auto engineClient = shared.client();
    auto enrolmentClient = shared.client();
    CameraManagerCombine engine(main, *engineClient);
    CameraManager enrolment(main, *enrolmentClient);
    FrameManager preview(enrolment);
    watch(engine);
    main.runPending();

    enrolment.start();
    ASSERT_TRUE(pumpUntil(main, [&] { return preview.current().value().has_value(); }));
    EXPECT_TRUE(numbers.empty()) << "the engine saw enrolment's frames";
    engine.startRunning();
    ASSERT_TRUE(pumpUntil(main, [&] { return numbers.size() >= 2; }));
    engine.stopRunning();
    EXPECT_TRUE(session.isRunning()) << "the engine's stop ended enrolment's preview";
    enrolment.stop();
    EXPECT_FALSE(session.isRunning());
}
