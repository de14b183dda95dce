#include "Faciward/Presence/Devices/CameraManager.h"
#include "Faciward/Presence/Devices/CameraManagerCombine.h"
#include "Faciward/Presence/Devices/SharedCaptureBackend.h"
#include "tests/support/FakeCaptureBackend.h"
#include "tests/support/VirtualScheduler.h"

#include <gtest/gtest.h>

using faciward::platform::CaptureError;
using faciward::platform::CaptureException;
using faciward::presence::CameraManager;
using faciward::presence::CameraManagerCombine;
using faciward::presence::SharedCaptureBackend;
using faciward::testing::FakeCaptureBackend;
using faciward::testing::VirtualScheduler;

class SharedCaptureBackendTest : public ::testing::Test
{
protected:
    VirtualScheduler main;
    FakeCaptureBackend backend{main};
    SharedCaptureBackend shared{backend};
    std::unique_ptr<faciward::platform::CaptureBackend> engine = shared.client();
    std::unique_ptr<faciward::platform::CaptureBackend> enrolment = shared.client();
};

TEST_F(SharedCaptureBackendTest, captureRunsWhileAnyClientHoldsItsClaim)
{
    engine->start();
    enrolment->start();
    EXPECT_EQ(shared.claims(), 2);
    EXPECT_TRUE(backend.isRunning());
    engine->stop();
    EXPECT_TRUE(backend.isRunning()) << "enrolment still shows its live picture";
    EXPECT_FALSE(engine->isRunning());
    EXPECT_TRUE(enrolment->isRunning());
    enrolment->stop();
    EXPECT_FALSE(backend.isRunning());
    EXPECT_EQ(backend.runs(), 1);
    EXPECT_EQ(backend.stopCalls(), 1);
}

TEST_F(SharedCaptureBackendTest, claimsAreIdempotentSoExtraStopsDoNotStealTheCamera)
{
    enrolment->start();
    // The engine stops its camera on every stop, started or not.
    engine->stop();
    engine->stop();
    engine->start();
    engine->start();
    engine->stop();
    EXPECT_TRUE(backend.isRunning());
    EXPECT_EQ(shared.claims(), 1);
    EXPECT_EQ(backend.stopCalls(), 0);
}

TEST_F(SharedCaptureBackendTest, aClientSeesFramesOnlyWhileItHoldsItsClaim)
{
    int engineFrames = 0;
    int enrolmentFrames = 0;
    auto a = engine->frames().sink([&](const cv::Mat &) { ++engineFrames; });
    auto b = enrolment->frames().sink([&](const cv::Mat &) { ++enrolmentFrames; });
    enrolment->start();
    backend.deliver(cv::Mat(1, 1, CV_8UC3));
    engine->start();
    backend.deliver(cv::Mat(1, 1, CV_8UC3));
    engine->stop();
    backend.deliver(cv::Mat(1, 1, CV_8UC3));
    EXPECT_EQ(engineFrames, 1) << "the engine must not collect enrolment's preview frames";
    EXPECT_EQ(enrolmentFrames, 3);
}

TEST_F(SharedCaptureBackendTest, failuresReachEveryClientAndAnyClientsStartIsANewTry)
{
    int engineFailures = 0;
    int enrolmentFailures = 0;
    auto a = engine->failures().sink([&](const CaptureException &) { ++engineFailures; });
    auto b = enrolment->failures().sink([&](const CaptureException &) { ++enrolmentFailures; });
    engine->start();
    backend.loseDevice();
    main.runPending();
    EXPECT_EQ(engineFailures, 1);
    EXPECT_EQ(enrolmentFailures, 1);
    EXPECT_FALSE(engine->isRunning());
    enrolment->start();
    EXPECT_TRUE(backend.isRunning());
    EXPECT_TRUE(engine->isRunning()) << "the engine's claim was never given up";
}
