#include "Faciward/Presence/Devices/CameraManager.h"
#include "Faciward/Presence/Devices/FrameManager.h"
#include "tests/support/FakeCaptureBackend.h"
#include "tests/support/VirtualScheduler.h"

#include <gtest/gtest.h>

using faciward::platform::CaptureAuthorization;
using faciward::presence::CameraError;
using faciward::presence::CameraException;
using faciward::presence::CameraManager;
using faciward::presence::CameraStatus;
using faciward::presence::FrameManager;
using faciward::testing::FakeCaptureBackend;
using faciward::testing::VirtualScheduler;

class CameraManagerTest : public ::testing::Test
{
protected:
    VirtualScheduler main;
    FakeCaptureBackend backend{main};
};

TEST_F(CameraManagerTest, setUpSucceedsAndASecondConfigureSendsTrueAgainChangingNothing)
{
    CameraManager camera(main, backend);
    std::vector<bool> configured;
    auto subscription = camera.isConfiguredSubject().sink([&](const bool &v) { configured.push_back(v); });
    main.runPending();
    EXPECT_EQ(camera.status(), CameraStatus::configured);
    camera.configure();
    main.runPending();
    EXPECT_EQ(configured, (std::vector<bool>{false, true, true}));
    EXPECT_EQ(backend.selections().size(), 1u);
    EXPECT_EQ(camera.error().value(), std::nullopt);
}

TEST_F(CameraManagerTest, accessDeniedPublishesTheErrorOnTheMainSchedulerAndStillCountsAsConfigured)
{
    backend.setAuthorization(CaptureAuthorization::denied);
    CameraManager camera(main, backend);
    EXPECT_EQ(camera.error().value(), std::nullopt) << "the error is set later, on the main scheduler";
    main.runPending();
    ASSERT_TRUE(camera.error().value());
    EXPECT_EQ(camera.error().value()->error(), CameraError::deniedAuthorization);
    EXPECT_EQ(camera.status(), CameraStatus::unauthorized);
    EXPECT_TRUE(camera.isConfiguredSubject().value());
}

TEST_F(CameraManagerTest, noCameraPublishesCameraUnavailableAndStartIsStillATry)
{
    backend.setDevices({});
    CameraManager camera(main, backend);
    main.runPending();
    ASSERT_TRUE(camera.error().value());
    EXPECT_STREQ(camera.error().value()->what(), "Camera unavailable");
    EXPECT_EQ(camera.status(), CameraStatus::failed);
    EXPECT_FALSE(camera.isConfiguredSubject().value());

    backend.setDevices({{faciward::platform::CaptureDevice::Kind::camera, "/dev/video0", "Late Camera"}});
    camera.start();
    EXPECT_TRUE(camera.isRunning());
}

TEST_F(CameraManagerTest, theErrorIsNeverClearedBySuccess)
{
    CameraManager camera(main, backend);
    main.runPending();
    camera.setError(CameraException(CameraError::cannotAddOutput));
    main.runPending();
    camera.start();
    backend.deliver(cv::Mat(2, 2, CV_8UC3));
    EXPECT_EQ(camera.error().value(), CameraException(CameraError::cannotAddOutput));
}

TEST_F(CameraManagerTest, theFrameManagerHoldsTheNewestFrame)
{
    CameraManager camera(main, backend);
    FrameManager frames(camera);
    main.runPending();
    EXPECT_EQ(frames.current().value(), std::nullopt);
    camera.start();
    backend.deliver(cv::Mat(2, 2, CV_8UC3, cv::Scalar(1, 1, 1)));
    backend.deliver(cv::Mat(2, 2, CV_8UC3, cv::Scalar(2, 2, 2)));
    ASSERT_TRUE(frames.current().value());
    EXPECT_EQ(frames.current().value()->at<cv::Vec3b>(0, 0)[0], 2);
    camera.stop();
    EXPECT_FALSE(backend.deliver(cv::Mat(2, 2, CV_8UC3, cv::Scalar(3, 3, 3))));
    EXPECT_EQ(frames.current().value()->at<cv::Vec3b>(0, 0)[0], 2);
}
