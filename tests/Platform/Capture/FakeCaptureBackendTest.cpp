#include "tests/support/FakeCaptureBackend.h"
#include "tests/support/VirtualScheduler.h"

#include <gtest/gtest.h>

using faciward::platform::CaptureError;
using faciward::platform::CaptureException;
using faciward::testing::FakeCaptureBackend;
using faciward::testing::VirtualScheduler;
using namespace std::chrono_literals;

// The engine's tests lean on this fake behaving like the real camera.
class FakeCaptureBackendTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        subscriptions.push_back(backend.frames().sink([this](const cv::Mat &f) {
            colours.push_back(f.at<cv::Vec3b>(0, 0)[0]);
        }));
        subscriptions.push_back(
            backend.failures().sink([this](const CaptureException &e) { failures.push_back(e.error()); }));
    }

    VirtualScheduler main;
    FakeCaptureBackend backend{main};
    std::vector<int> colours;
    std::vector<CaptureError> failures;
    faciward::platform::CancellableSet subscriptions;
};

TEST_F(FakeCaptureBackendTest, producesFramesOnTheSchedulerOnlyWhileRunning)
{
    backend.produceFrames(100ms);
    main.advanceBy(1s);
    EXPECT_TRUE(colours.empty());
    backend.start();
    main.advanceBy(350ms);
    backend.stop();
    main.advanceBy(1s);
    backend.start();
    main.advanceBy(100ms);
    EXPECT_EQ(colours, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(backend.runs(), 2);
}

TEST_F(FakeCaptureBackendTest, aFailedStartReadsAsRunningUntilItsFailureArrives)
{
    backend.produceFrames(10ms);
    backend.failStarts(CaptureError::openFailed);
    backend.start();
    EXPECT_TRUE(backend.isRunning());
    EXPECT_FALSE(backend.deliver(cv::Mat(1, 1, CV_8UC3)));
    main.runPending();
    EXPECT_FALSE(backend.isRunning());
    EXPECT_EQ(failures, (std::vector<CaptureError>{CaptureError::openFailed}));
    main.advanceBy(100ms);
    EXPECT_TRUE(colours.empty());
    EXPECT_EQ(backend.runs(), 0);
}

TEST_F(FakeCaptureBackendTest, aLateFailureDoesNotEndALaterRun)
{
    backend.failStarts(CaptureError::openFailed);
    backend.start();
    backend.stop();
    backend.failStarts(std::nullopt);
    backend.start();
    main.runPending();
    EXPECT_EQ(failures.size(), 1u);
    EXPECT_TRUE(backend.isRunning());
    EXPECT_TRUE(backend.deliver(cv::Mat(1, 1, CV_8UC3)));
}

TEST_F(FakeCaptureBackendTest, noDeviceAndALostDeviceFailAsTheRealOneDoes)
{
    backend.start();
    backend.loseDevice();
    EXPECT_FALSE(backend.isRunning());
    backend.setDevices({});
    backend.start();
    main.runPending();
    EXPECT_EQ(failures, (std::vector<CaptureError>{CaptureError::deviceLost, CaptureError::deviceMissing}));
    EXPECT_FALSE(backend.isRunning());
}
