#include "Faciward/Presence/Devices/CameraManager.h"
#include "Faciward/Presence/Devices/FrameManager.h"
#include "tests/Faciward/Presence/Devices/CameraSamples.h"
#include "tests/support/FakeCaptureBackend.h"
#include "tests/support/VirtualScheduler.h"

#include <gtest/gtest.h>

#include <optional>

using faciward::platform::CaptureAuthorization;
using faciward::platform::CaptureError;
using faciward::presence::CameraError;
using faciward::presence::CameraException;
using faciward::presence::CameraManager;
using faciward::presence::CameraStatus;
using faciward::presence::FrameManager;
using faciward::testing::FakeCaptureBackend;
using faciward::testing::VirtualScheduler;
using faciward::testing::cameras::builtIn;
using faciward::testing::cameras::frame;

// Face enrolment's camera, over the fake back-end, in the order the views see it.
class CameraManagerTest : public ::testing::Test
{
protected:
    void SetUp() override { backend.setDevices({builtIn}); }

    // Makes the manager with its views' subscriptions, and (unless told not to)
    // runs the main loop's next turn.
    CameraManager &make(bool turn = true)
    {
        manager = std::make_unique<CameraManager>(main, backend);
        subscriptions.push_back(manager->error().sink([this](const std::optional<CameraException> &e) {
            if (e)
                errors.push_back(*e);
        }));
        subscriptions.push_back(manager->isConfiguredSubject().sink([this](const bool &v) { configured.push_back(v); }));
        if (turn)
            main.runPending();
        return *manager;
    }

    VirtualScheduler main;
    FakeCaptureBackend backend{main};
    std::unique_ptr<CameraManager> manager;
    faciward::platform::CancellableSet subscriptions;
    std::vector<CameraException> errors;
    std::vector<bool> configured;
};

TEST_F(CameraManagerTest, refusedAccessIsAnErrorOnTheMainLoopAndCountsAsConfigured)
{
    // The refusals the permission check knows, and a refusal met only when
    // capture starts (the device's permissions changed since).
    struct Case
    {
        const char *what;
        std::optional<CaptureAuthorization> atSetUp;
        std::optional<CaptureError> atStart;
        CameraError reported;
        const char *text;
    };
    const Case cases[] = {
        {"denied", CaptureAuthorization::denied, std::nullopt, CameraError::deniedAuthorization,
         "Camera access denied"},
        {"restricted", CaptureAuthorization::restricted, std::nullopt, CameraError::restrictedAuthorization,
         "Attempting to access a restricted capture device"},
        {"unknown", CaptureAuthorization::unknown, std::nullopt, CameraError::unknownAuthorization,
         "Unknown authorization status for capture device"},
        {"denied when opened", std::nullopt, CaptureError::permissionDenied, CameraError::deniedAuthorization,
         "Camera access denied"},
        {"restricted when opened", std::nullopt, CaptureError::permissionRestricted,
         CameraError::restrictedAuthorization, "Attempting to access a restricted capture device"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        errors.clear();
        configured.clear();
        backend.setAuthorization(c.atSetUp.value_or(CaptureAuthorization::authorized));
        backend.failStarts(c.atStart);
        make(false);
        EXPECT_EQ(manager->status(), CameraStatus::unconfigured) << "nothing before the main loop turns";
        EXPECT_TRUE(errors.empty());
        main.runPending();
        if (c.atStart) {
            EXPECT_EQ(manager->status(), CameraStatus::configured);
            manager->start();
            EXPECT_TRUE(errors.empty()) << "the failure comes through the main loop";
            main.runPending();
        }
        EXPECT_EQ(manager->status(), CameraStatus::unauthorized);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].error(), c.reported);
        EXPECT_EQ(std::string(errors[0].what()), c.text);
        EXPECT_EQ(configured, (std::vector<bool>{false, true}));
        subscriptions.clear();
        manager.reset();
    }
    backend.failStarts(std::nullopt);
}

TEST_F(CameraManagerTest, aSecondConfigurationSendsTrueAgainAndChangesNothing)
{
    auto &camera = make();
    ASSERT_EQ(camera.status(), CameraStatus::configured);
    const auto selections = backend.selections();
    camera.configure();
    main.runPending();
    EXPECT_EQ(configured, (std::vector<bool>{false, true, true}));
    EXPECT_EQ(camera.status(), CameraStatus::configured);
    EXPECT_EQ(backend.selections(), selections);
    EXPECT_EQ(backend.startCalls(), 0);
    EXPECT_TRUE(errors.empty());
}

TEST_F(CameraManagerTest, theFrameManagerHoldsTheNewestFrame)
{
    auto &camera = make();
    FrameManager frames(camera);
    EXPECT_FALSE(frames.current().value().has_value());
    camera.start();
    std::vector<cv::Mat> sent;
    for (int i = 0; i < 3; ++i) {
        sent.push_back(frame(i));
        backend.deliver(sent.back());
        ASSERT_TRUE(frames.current().value().has_value());
        EXPECT_EQ(frames.current().value()->data, sent.back().data) << "frame " << i << ", handed on as it came";
    }
    camera.stop();
    EXPECT_FALSE(backend.deliver(frame(9)));
    EXPECT_EQ(FakeCaptureBackend::frameNumber(*frames.current().value()), 2);
}
