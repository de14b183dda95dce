#include "Faciward/Presence/Devices/CameraManager.h"
#include "Faciward/Presence/Devices/CameraManagerCombine.h"
#include "Faciward/Presence/Devices/FrameManager.h"
#include "tests/Faciward/Presence/Devices/CameraSamples.h"
#include "tests/support/FakeCaptureBackend.h"
#include "tests/support/VirtualScheduler.h"

#include <gtest/gtest.h>

using faciward::platform::CaptureAuthorization;
using faciward::platform::CaptureDevice;
using faciward::platform::CaptureError;
using faciward::presence::CameraError;
using faciward::presence::CameraException;
using faciward::presence::CameraManager;
using faciward::presence::CameraManagerCombine;
using faciward::presence::CameraStatus;
using faciward::presence::FrameManager;
using faciward::testing::FakeCaptureBackend;
using faciward::testing::VirtualScheduler;
using namespace std::chrono_literals;
using Texts = std::vector<std::string>;
using faciward::testing::cameras::builtIn;
using faciward::testing::cameras::external;
using faciward::testing::cameras::frame;

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
        subscriptions.push_back(manager->cameraFrameCGImageSubject().sink([this](const cv::Mat &f) {
            order.push_back("bitmap");
            bitmaps.push_back(f);
        }));
        subscriptions.push_back(manager->cameraFrameSubject().sink([this](const cv::Mat &f) {
            order.push_back("image");
            images.push_back(f);
        }));
        main.runPending();
        return *manager;
    }

    VirtualScheduler main;
    FakeCaptureBackend backend{main};
    std::unique_ptr<CameraManagerCombine> manager;
    faciward::platform::CancellableSet subscriptions;
    Texts errors;
    std::vector<bool> configured;
    Texts order;
    std::vector<cv::Mat> bitmaps;
    std::vector<cv::Mat> images;
};

TEST_F(CameraManagerCombineTest, creationChoosesTheFirstCameraAndTheChoiceIsKept)
{
    auto &camera = make();
    EXPECT_EQ(camera.status(), CameraStatus::configured);
    EXPECT_EQ(camera.selectedDevice(), builtIn);
    EXPECT_EQ(configured, (std::vector<bool>{false, true}));
    EXPECT_EQ(camera.availableCameras(), (std::vector<CaptureDevice>{builtIn, external}));
    EXPECT_EQ(backend.startCalls(), 0) << "set-up must not switch the camera on";
    camera.selectCamera({CaptureDevice::Kind::camera, "/dev/video9", "Elsewhere"}); // not offered: ignored
    EXPECT_EQ(backend.selections(), (std::vector<CaptureDevice>{builtIn}));
    camera.selectCamera(external);
    camera.startRunning();
    camera.stopRunning();
    camera.startRunning();
    EXPECT_EQ(backend.selected(), external);
    EXPECT_EQ(backend.selections().back(), external);
    EXPECT_TRUE(errors.empty());
}

TEST_F(CameraManagerCombineTest, failuresAreReportedOnceWhileTheyLastAndEveryStartTriesAgain)
{
    struct Case
    {
        const char *what;
        std::function<void()> breakIt; // before the first start
        std::function<void()> mendIt;
        Texts reported;
    };
    const Case cases[] = {
        {"no camera at all, plugged in later", [&] { backend.setDevices({}); },
         [&] { backend.setDevices({external}); }, {"Camera unavailable"}},
        {"a busy camera", [&] { backend.failStarts(CaptureError::openFailed, "Device or resource busy"); },
         [&] { backend.failStarts(std::nullopt); }, {"Creating capture input for camera: Device or resource busy"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        errors.clear();
        c.breakIt();
        auto &camera = make();
        camera.startRunning();
        camera.startRunning();
        main.runPending();
        EXPECT_EQ(errors, c.reported);
        EXPECT_EQ(camera.status(), CameraStatus::failed);
        EXPECT_FALSE(camera.isRunning());
        c.mendIt();
        camera.startRunning();
        EXPECT_TRUE(camera.isRunning());
        backend.deliver(frame(1));
        EXPECT_EQ(camera.status(), CameraStatus::configured);
        EXPECT_EQ(errors, c.reported);
        camera.stopRunning();
        backend.setDevices({builtIn, external});
    }
    // After frames came, the same failure is news again.
    manager->stopRunning();
    backend.failStarts(CaptureError::openFailed, "Device or resource busy");
    manager->startRunning();
    main.runPending();
    EXPECT_EQ(errors.size(), 2u);
    backend.failStarts(std::nullopt);

    // A camera lost while capturing is reported and can be started again.
    errors.clear();
    images.clear();
    auto &camera = make();
    backend.produceFrames(33ms);
    camera.startRunning();
    main.advanceBy(100ms);
    ASSERT_EQ(images.size(), 3u);
    backend.loseDevice("No such device");
    main.advanceBy(100ms);
    EXPECT_EQ(errors, Texts{"Creating capture input for camera: No such device"});
    EXPECT_EQ(camera.status(), CameraStatus::failed);
    EXPECT_EQ(images.size(), 3u);
    camera.startRunning();
    main.advanceBy(100ms);
    EXPECT_EQ(images.size(), 6u);
    EXPECT_EQ(camera.status(), CameraStatus::configured);
}

TEST_F(CameraManagerCombineTest, everyFrameGoesToBothSubjectsBitmapFirstAndOnlyWhileRunning)
{
    auto &camera = make();
    EXPECT_FALSE(backend.deliver(frame(9)));
    camera.startRunning();
    for (int i = 0; i < 3; ++i)
        backend.deliver(frame(i));
    camera.stopRunning();
    EXPECT_FALSE(backend.deliver(frame(9)));
    EXPECT_EQ(order, (Texts{"bitmap", "image", "bitmap", "image", "bitmap", "image"}));
    ASSERT_EQ(images.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(FakeCaptureBackend::frameNumber(images[i]), i);
        EXPECT_EQ(images[i].data, bitmaps[i].data) << "both subjects share one picture";
    }
}

TEST_F(CameraManagerCombineTest, aManagerDestroyedBeforeItsSetUpRanDoesNothing)
{
    manager = std::make_unique<CameraManagerCombine>(main, backend);
    manager.reset();
    main.runPending();
    EXPECT_TRUE(backend.selections().empty());
}
