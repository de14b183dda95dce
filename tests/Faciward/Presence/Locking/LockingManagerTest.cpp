#include "Faciward/Presence/Devices/CameraManagerCombine.h"
#include "Faciward/Presence/Devices/ScreenLockingStatusManager.h"
#include "Faciward/Presence/Devices/SharedCaptureBackend.h"
#include "Faciward/Presence/Locking/ImageStoreService.h"
#include "Faciward/Presence/Locking/LockingManager.h"
#include "Faciward/Presence/Recognition/FrameRecognizer.h"
#include "Faciward/Settings/Keys.h"
#include "SettingsStore/Prefs.h"
#include "tests/support/FakeCaptureBackend.h"
#include "tests/support/FakeIdleTimeSource.h"
#include "tests/support/FakeScreenLockSignals.h"
#include "tests/support/Guards.h"
#include "tests/support/ScopedSettingsFile.h"
#include "tests/support/VirtualScheduler.h"

#include <gtest/gtest.h>

#include <deque>
#include <sstream>

using namespace faciward;
using namespace faciward::presence;
using faciward::prefs::Prefs;
using faciward::settings::DisableTime;
using faciward::testing::FakeCaptureBackend;
using faciward::testing::FakeIdleTimeSource;
using faciward::testing::FakeScreenLockSignals;
using faciward::testing::ScopedSettingsFile;
using faciward::testing::VirtualScheduler;
namespace Keys = faciward::settings::Keys;
using Status = LockingManager::Status;
using Log = std::vector<std::string>;

namespace {

// Answers scripted per check; records the frames it was shown (by their fake-camera number).
class FakeRecognizer final : public FrameRecognizer
{
public:
    std::deque<std::vector<bool>> answers;
    bool failLoad = false;
    bool failRecognize = false;
    bool loaded = false;
    std::vector<std::vector<int>> seen;

    bool hasModel() const override { return loaded; }
    void loadModel() override
    {
        if (failLoad)
            throw std::runtime_error("modelMissing");
        loaded = true;
    }
    std::vector<bool> recognize(const std::vector<platform::Image> &frames) override
    {
        std::vector<int> numbers;
        for (const auto &f : frames) {
            const auto px = f.at<cv::Vec3b>(0, 0);
            numbers.push_back(px[0] + 256 * px[1]);
        }
        seen.push_back(numbers);
        if (failRecognize)
            throw std::runtime_error("modelNotLoaded");
        if (answers.empty())
            return std::vector<bool>(frames.size(), false);
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

std::string seconds(double t)
{
    std::ostringstream out;
    out << std::round(t * 1000) / 1000;
    return out.str();
}

} // namespace

class LockingManagerTest : public ::testing::Test
{
protected:
    faciward::testing::TempHome home;
    ScopedSettingsFile settings;
    VirtualScheduler main;
    FakeCaptureBackend backend{main};
    CameraManagerCombine camera{main, backend};
    FakeScreenLockSignals signals;
    ScreenLockingStatusManager screenLock{signals};
    FakeIdleTimeSource idle{FakeIdleTimeSource::Seconds(0)};
    FakeRecognizer recognizer;
    bool queueJobs = false;
    std::deque<std::function<void()>> jobs;
    std::vector<std::pair<int, std::string>> pictures;
    LockingManager manager{main,
                           camera,
                           screenLock,
                           idle,
                           recognizer,
                           [this](std::function<void()> job) {
                               if (queueJobs)
                                   jobs.push_back(std::move(job));
                               else
                                   job();
                           },
                           [this](const platform::Image &image, const std::string &key) {
                               const auto px = image.at<cv::Vec3b>(0, 0);
                               pictures.emplace_back(px[0] + 256 * px[1], key);
                           }};
    Log log;
    platform::AnyCancellable statusLog = manager.statusSubject().sink(
        [this](Status s) { log.push_back(std::string(name(s)) + "@" + seconds(main.elapsed())); });
    platform::AnyCancellable lockLog =
        manager.lockingSubject().sink([this](platform::Void) { log.push_back("lock@" + seconds(main.elapsed())); });

    void SetUp() override
    {
        // A 30-frames-a-second camera.
        backend.produceFrames(platform::seconds(1.0 / 30));
        main.runPending(); // the camera's set-up
        log.clear();
    }

    // Runs a check cycle that starts with tracking at 0 s: the camera goes on at 10 s.
    void idleFor(double seconds) { idle.setIdleTime(seconds); }

    Log since(std::size_t from) const { return Log(log.begin() + static_cast<std::ptrdiff_t>(from), log.end()); }

    // Stores a timed disable period of @p minutes that began @p ago.
    void storeTimedPeriod(std::int64_t minutes, platform::Scheduler::Duration ago)
    {
        DisableTime period;
        period.startDate = main.wallNow() - std::chrono::duration_cast<std::chrono::system_clock::duration>(ago);
        period.duration = minutes;
        period.state = DisableTime::State::time;
        Prefs::set(Keys::disableTime(), std::optional<DisableTime>(period));
    }
};

TEST_F(LockingManagerTest, anOwnerInFrontOfTheScreenGivesFiveThrottledFramesAndBackToIdle)
{
    idleFor(7);
    manager.start(true);
    main.advanceBy(9.9);
    EXPECT_EQ(backend.runs(), 0); // at 5 s only 5 s had passed since creation
    main.advanceBy(0.1);
    EXPECT_TRUE(backend.isRunning());
    recognizer.answers = {{false, false, true, false, false}};
    main.advanceBy(3.0);
    // Frames at 10.033 s and every 0.6 s after; the camera goes off on the fifth.
    EXPECT_EQ(log, (Log{"idle@0", "processing@10.033", "processing@10.633", "processing@11.233", "processing@11.833",
                        "idle@12.433"}));
    EXPECT_FALSE(backend.isRunning());
    EXPECT_EQ(backend.runs(), 1);
    ASSERT_EQ(recognizer.seen.size(), 1u);
    EXPECT_EQ(recognizer.seen[0].size(), 5u);
    // From starting the camera to the verdict: within the throttle's 2.4 s plus 0.3 s.
    EXPECT_LE(std::chrono::duration<double>(manager.lastCheckCompleted() - (main.now() - platform::seconds(3.0))).count(),
              2.7);
    EXPECT_TRUE(pictures.empty());
}

TEST_F(LockingManagerTest, aStrangerGetsPictureThenCountDownThenLockSignal)
{
    Prefs::set(Keys::takePictureWhenLockingScreen(), true);
    idleFor(7);
    manager.start(true);
    std::vector<std::uint64_t> counts;
    auto c = manager.lockingCountDown().publisher().sink([&](std::uint64_t n) { counts.push_back(n); });
    main.advanceBy(13.0);
    EXPECT_EQ(since(5), (Log{"disabled@12.433", "locking@12.433"}));
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0].first, recognizer.seen[0].back()); // the fifth frame
    EXPECT_EQ(pictures[0].second, ImageStoreService::pictureKey(main.wallNow() - std::chrono::milliseconds(567)));
    main.advanceBy(7.4);
    EXPECT_EQ(log.back(), "locking@12.433");
    main.advanceBy(0.1);
    EXPECT_EQ(log.back(), "lock@20.433");
    EXPECT_EQ(counts, (std::vector<std::uint64_t>{8, 7, 6, 5, 4, 3, 2, 1, 0}));
    EXPECT_FALSE(backend.isRunning());
    // Tracking stopped with the lock path: no more checks.
    main.advanceBy(60.0);
    EXPECT_EQ(backend.runs(), 1);
}

TEST_F(LockingManagerTest, failuresCountAsAnAbsentOwnerAndPicturesFollowTheSetting)
{
    idleFor(7);
    struct Case
    {
        const char *what;
        std::vector<bool> answer;
        bool failLoad, failRecognize;
    };
    const std::vector<Case> cases = {
        {"no answers", {}, false, false},
        {"recognition throws", {}, false, true},
        {"model cannot load", {}, true, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        recognizer.answers = {c.answer};
        recognizer.failLoad = c.failLoad;
        recognizer.failRecognize = c.failRecognize;
        recognizer.loaded = false;
        log.clear();
        manager.start(true);
        main.advanceBy(13.0);
        ASSERT_GE(log.size(), 2u);
        const auto at = log.back().substr(log.back().find('@'));
        EXPECT_EQ(since(log.size() - 2), (Log{"disabled" + at, "locking" + at}));
        EXPECT_TRUE(pictures.empty());
        main.advanceBy(10.0);
        EXPECT_EQ(log.back(), "lock@" + seconds(std::stod(at.substr(1)) + 8));
    }
}

TEST_F(LockingManagerTest, theIdleGateComparesStrictlyAndWaitsAfterACheck)
{
    idleFor(6.0);
    manager.start(true);
    main.advanceBy(10.0);
    EXPECT_EQ(backend.runs(), 0);
    idleFor(6.1);
    main.advanceBy(5.0);
    EXPECT_EQ(backend.runs(), 1); // at 15 s
    recognizer.answers = {{true}};
    main.advanceBy(3.0); // verdict at 17.433
    idleFor(1000);
    main.advanceBy(4.0); // tick at 20 s: 2.567 s since the check
    EXPECT_EQ(backend.runs(), 1);
    main.advanceBy(5.0); // tick at 25 s: 7.567 s since the check
    EXPECT_EQ(backend.runs(), 2);
}

TEST_F(LockingManagerTest, startingTwiceKeepsOneIdleTimer)
{
    idleFor(0);
    manager.start(true);
    manager.start(true);
    manager.start(false);
    main.advanceBy(5.0);
    EXPECT_EQ(idle.queries(), 1);
    EXPECT_EQ(log, (Log{"idle@0", "idle@0", "idle@0"}));
}

TEST_F(LockingManagerTest, aVerdictOvertakenByDisableStopOrLockChangesOnlyTheCheckTime)
{
    queueJobs = true;
    idleFor(7);
    const std::vector<std::pair<const char *, std::function<void()>>> overtakers = {
        {"disable", [&] { manager.disable(15, DisableTime::State::time); }},
        {"stop", [&] { manager.stop(); }},
        {"screen lock", [&] { signals.lock(); }},
        {"lock path", [&] { manager.startLocking(); }},
    };
    for (const auto &[what, overtake] : overtakers) {
        SCOPED_TRACE(what);
        signals.unlock();
        manager.start(true);
        main.advanceBy(13.0);
        ASSERT_EQ(jobs.size(), 1u);
        overtake();
        const auto before = log;
        const auto status = manager.status();
        jobs.front()();
        jobs.pop_front();
        main.runPending();
        EXPECT_EQ(log, before);
        EXPECT_EQ(manager.status(), status);
        EXPECT_EQ(manager.lastCheckCompleted(), main.now());
        manager.lockingCountDown().cancel();
    }
    EXPECT_TRUE(pictures.empty());
}

TEST_F(LockingManagerTest, eachCheckUsesOnlyFramesOfItsOwnCollection)
{
    int lastDelivered = -1;
    auto watch = camera.cameraFrameSubject().sink([&](const cv::Mat &f) {
        const auto px = f.at<cv::Vec3b>(0, 0);
        lastDelivered = px[0] + 256 * px[1];
    });
    idleFor(7);
    manager.start(true);
    recognizer.answers = {{true}, {true}};
    main.advanceBy(20.0); // a check from 10 s to 12.433 s; the next collection starts at 20 s
    ASSERT_EQ(recognizer.seen.size(), 1u);
    // Extra frames of the camera's last moments never made it into the check.
    EXPECT_EQ(recognizer.seen[0].back(), lastDelivered);
    main.advanceBy(1.0);
    manager.stop(); // three frames of this collection are dropped
    const int lastOfStopped = lastDelivered;
    manager.start(true);
    main.advanceBy(13.0);
    ASSERT_EQ(recognizer.seen.size(), 2u);
    // The new collection begins with the first frame after its own start.
    EXPECT_EQ(recognizer.seen[1].front(), lastOfStopped + 1);
    for (std::size_t i = 1; i < recognizer.seen[1].size(); ++i)
        EXPECT_EQ(recognizer.seen[1][i] - recognizer.seen[1][i - 1], 18); // 0.6 s at 30 frames a second
}

TEST_F(LockingManagerTest, disablingCancelsTheLockCountDown)
{
    manager.startLocking();
    main.advanceBy(3.0);
    manager.disable(5, DisableTime::State::time);
    main.advanceBy(20.0);
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string &l) { return l.rfind("lock@", 0) == 0; }), 0);
}

TEST_F(LockingManagerTest, lockCountDownsOfZeroOrLessSignalOnTheNextTurn)
{
    for (const std::int64_t rate : {0, -3}) {
        Prefs::set(Keys::locksComputerAfterRate(), rate);
        log.clear();
        manager.startLocking();
        EXPECT_EQ(log, (Log{"disabled@0", "locking@0"}));
        main.advanceBy(0.0);
        EXPECT_EQ(log.back(), "lock@0");
        EXPECT_EQ(manager.lockingCountDown().count(), 0u);
    }
}

TEST_F(LockingManagerTest, timedDisablePeriodsAreStoredCountedAndEnded)
{
    manager.start(true);
    manager.disable(15, DisableTime::State::time);
    EXPECT_EQ(manager.disableTimer().count(), 900u);
    auto stored = Prefs::get(Keys::disableTime());
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->duration, 15);
    EXPECT_EQ(stored->state, DisableTime::State::time);
    EXPECT_EQ(stored->startDate, main.wallNow());
    main.advanceBy(899.0);
    EXPECT_EQ(manager.status(), Status::disabled);
    main.advanceBy(1.0);
    EXPECT_EQ(manager.status(), Status::idle);
    EXPECT_FALSE(Prefs::get(Keys::disableTime()).has_value());
}

TEST_F(LockingManagerTest, aNonForcingStartHonoursTheStoredPeriod)
{
    DisableTime period;
    period.startDate = main.wallNow() - std::chrono::minutes(4);
    period.duration = 10;
    period.state = DisableTime::State::time;
    Prefs::set(Keys::disableTime(), std::optional<DisableTime>(period));
    manager.start(false);
    EXPECT_EQ(manager.disableTimer().count(), 360u);
    EXPECT_EQ(manager.status(), Status::disabled);
    EXPECT_TRUE(log.empty());

    period.startDate = main.wallNow() - std::chrono::minutes(11);
    Prefs::set(Keys::disableTime(), std::optional<DisableTime>(period));
    manager.start(false);
    EXPECT_EQ(manager.status(), Status::idle);
    EXPECT_FALSE(Prefs::get(Keys::disableTime()).has_value());
    EXPECT_FALSE(manager.disableTimer().isRunning());
}

TEST_F(LockingManagerTest, untilTomorrowHoldsTodayAndEndsOnAnyLaterDay)
{
    manager.start(true);
    manager.disable(0, DisableTime::State::untilTomorrow);
    const auto stored = Prefs::get(Keys::disableTime());
    ASSERT_TRUE(stored.has_value());
    EXPECT_FALSE(stored->duration.has_value());
    EXPECT_FALSE(manager.disableTimer().isRunning());
    manager.start(false);
    EXPECT_EQ(manager.status(), Status::disabled);
    main.jumpWall(std::chrono::hours(24 * 3));
    manager.start(false);
    EXPECT_EQ(manager.status(), Status::idle);
}

TEST_F(LockingManagerTest, screenLockStopsAndUnlockRestartsAtOnce)
{
    idleFor(7);
    manager.start(true);
    main.advanceBy(10.5);
    EXPECT_TRUE(backend.isRunning());
    signals.lock();
    EXPECT_FALSE(backend.isRunning());
    EXPECT_EQ(manager.status(), Status::disabled);
    main.advanceBy(30.0);
    EXPECT_EQ(backend.runs(), 1);
    signals.unlock();
    EXPECT_EQ(log.back(), "idle@40.5");

    // A timed period that ends while the screen is locked starts tracking.
    manager.disable(1, DisableTime::State::time);
    signals.lock();
    main.advanceBy(60.0);
    EXPECT_EQ(manager.status(), Status::idle);
}

TEST_F(LockingManagerTest, aCameraThatStaysQuietEndsTheCheckAsAFailure)
{
    FakeCaptureBackend quiet(main);
    CameraManagerCombine quietCamera(main, quiet);
    main.runPending();
    LockingManager quietManager(main, quietCamera, screenLock, idle, recognizer, [](std::function<void()> job) { job(); },
                                {});
    idleFor(7);
    quietManager.start(true);
    main.advanceBy(19.9);
    EXPECT_TRUE(quiet.isRunning());
    EXPECT_EQ(quietManager.status(), Status::idle);
    main.advanceBy(0.1);
    EXPECT_FALSE(quiet.isRunning());
    EXPECT_EQ(quietManager.status(), Status::locking);
    EXPECT_TRUE(recognizer.seen.empty());
}

TEST_F(LockingManagerTest, theIdleTimerAsksEveryFiveSecondsOnlyWhileTracking)
{
    idleFor(0);
    main.advanceBy(20.0);
    EXPECT_EQ(idle.queries(), 0); // nothing is tracked before a start
    manager.start(true);          // at 20 s
    main.advanceBy(std::chrono::milliseconds(4999));
    EXPECT_EQ(idle.queries(), 0);
    main.advanceBy(std::chrono::milliseconds(1));
    EXPECT_EQ(idle.queries(), 1);
    main.advanceBy(10.0);
    EXPECT_EQ(idle.queries(), 3); // 30 s and 35 s
    manager.stop();
    main.advanceBy(60.0);
    EXPECT_EQ(idle.queries(), 3);
    manager.start(true); // at 95 s: the timer starts over from the start
    main.advanceBy(4.9);
    EXPECT_EQ(idle.queries(), 3);
    main.advanceBy(0.1);
    EXPECT_EQ(idle.queries(), 4);
    EXPECT_EQ(backend.runs(), 0);
}

TEST_F(LockingManagerTest, theTimeSinceTheLastCheckIsComparedStrictlyToo)
{
    // The manager was made at 0 s, which counts as the last check.
    Prefs::set(Keys::inactivityTime(), std::int64_t(5));
    idleFor(1000);
    manager.start(true);
    main.advanceBy(5.0);
    EXPECT_EQ(idle.queries(), 1);
    EXPECT_EQ(backend.runs(), 0); // exactly 5 s since the last check is not more than 5
    main.advanceBy(5.0);
    EXPECT_EQ(backend.runs(), 1);
    EXPECT_TRUE(backend.isRunning());
}

TEST_F(LockingManagerTest, theLockCountDownTicksEverySecondAndSignalsOnce)
{
    Prefs::set(Keys::locksComputerAfterRate(), std::int64_t(3));
    std::vector<std::string> counts;
    auto c = manager.lockingCountDown().publisher().sink(
        [&](std::uint64_t n) { counts.push_back(std::to_string(n) + "@" + seconds(main.elapsed())); });
    main.advanceBy(1.5);
    manager.startLocking();
    EXPECT_EQ(log, (Log{"disabled@1.5", "locking@1.5"}));
    EXPECT_EQ(counts, (std::vector<std::string>{"3@1.5"})); // the whole count at once, before the first tick
    main.advanceBy(std::chrono::milliseconds(2999));
    EXPECT_EQ(log.size(), 2u);
    main.advanceBy(std::chrono::milliseconds(1));
    EXPECT_EQ(counts, (std::vector<std::string>{"3@1.5", "2@2.5", "1@3.5", "0@4.5"}));
    EXPECT_EQ(log, (Log{"disabled@1.5", "locking@1.5", "lock@4.5"}));
    EXPECT_FALSE(manager.lockingCountDown().isRunning());
    main.advanceBy(30.0);
    EXPECT_EQ(counts.size(), 4u);
    EXPECT_EQ(log.size(), 3u); // one signal; the status stays locking for the shell to change
    EXPECT_EQ(manager.status(), Status::locking);
    EXPECT_EQ(backend.runs(), 0);
}

TEST_F(LockingManagerTest, unlockingTheScreenOrCancellingEndsARunningLockCountDown)
{
    // The user locks the screen during the count-down and is back before it ends.
    manager.startLocking();
    main.advanceBy(2.0);
    signals.lock();
    signals.unlock();
    EXPECT_EQ(since(2), (Log{"disabled@2", "idle@2"}));
    main.advanceBy(20.0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "lock@8"), 0);
    EXPECT_EQ(log.back(), "idle@2");

    // The popup's Cancel: the count-down is cancelled, tracking forced on.
    log.clear();
    manager.startLocking();
    main.advanceBy(3.0);
    manager.lockingCountDown().cancel();
    manager.start(true);
    main.advanceBy(20.0);
    EXPECT_EQ(log, (Log{"disabled@22", "locking@22", "idle@25"}));
}

TEST_F(LockingManagerTest, aTimedPeriodInForceArmsNoIdleTimer)
{
    storeTimedPeriod(10, std::chrono::minutes(4));
    idleFor(1000);
    manager.start(false);
    main.advanceBy(359.0);
    EXPECT_EQ(idle.queries(), 0);
    EXPECT_EQ(manager.disableTimer().count(), 1u);
    EXPECT_TRUE(log.empty());
    main.advanceBy(1.0); // the period's end starts tracking and removes it
    EXPECT_EQ(log, (Log{"idle@360"}));
    EXPECT_FALSE(Prefs::get(Keys::disableTime()).has_value());
    main.advanceBy(10.0);
    EXPECT_EQ(backend.runs(), 1); // 365 s: 365 s since creation, 1000 s idle
}

TEST_F(LockingManagerTest, aPeriodWithLessThanASecondLeftEndsOnTheNextTurn)
{
    storeTimedPeriod(10, std::chrono::milliseconds(9 * 60 * 1000 + 59500));
    manager.start(false);
    EXPECT_EQ(manager.disableTimer().count(), 0u);
    EXPECT_EQ(manager.status(), Status::disabled);
    main.runPending();
    main.advanceBy(0.0);
    EXPECT_EQ(log, (Log{"idle@0"}));
    EXPECT_FALSE(Prefs::get(Keys::disableTime()).has_value());
}

TEST_F(LockingManagerTest, untilTomorrowEndsAtTheNextLocalDay)
{
    faciward::testing::EnvGuard tz("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    using namespace std::chrono;
    // 2026-03-02 23:30 in Paris.
    main.setWallNow(sys_days{2026y / 3 / 2} + hours(22) + minutes(30));
    manager.start(true);
    manager.disable(30, DisableTime::State::untilTomorrow);
    EXPECT_FALSE(manager.disableTimer().isRunning());
    main.advanceBy(29.0 * 60);     // 23:59 the same day
    manager.start(false);
    EXPECT_EQ(manager.status(), Status::disabled);
    main.advanceBy(2.0 * 60);      // 00:01 the next day
    manager.start(false);
    EXPECT_EQ(manager.status(), Status::idle);
    EXPECT_FALSE(Prefs::get(Keys::disableTime()).has_value());

    // Begun the day before yesterday, it is over too.
    manager.disable(0, DisableTime::State::untilTomorrow);
    main.jumpWall(hours(48));
    manager.start(false);
    EXPECT_EQ(manager.status(), Status::idle);
}

TEST_F(LockingManagerTest, aCheckCutShortByAQuietCameraStoresTheLastFrameItGot)
{
    Prefs::set(Keys::takePictureWhenLockingScreen(), true);
    backend.produceFrames(std::chrono::seconds(1000)); // the camera gives nothing by itself
    idleFor(7);
    manager.start(true);
    main.advanceBy(10.0); // camera on at 10 s
    ASSERT_TRUE(backend.isRunning());
    backend.deliver(cv::Mat(480, 640, CV_8UC3, FakeCaptureBackend::frameColour(501)));
    main.advanceBy(1.0);
    backend.deliver(cv::Mat(480, 640, CV_8UC3, FakeCaptureBackend::frameColour(502)));
    main.advanceBy(std::chrono::milliseconds(8999));
    EXPECT_EQ(log.back(), "processing@11");
    main.advanceBy(std::chrono::milliseconds(1)); // 10 s after the camera started
    EXPECT_FALSE(backend.isRunning());
    EXPECT_EQ(since(3), (Log{"disabled@20", "locking@20"}));
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0].first, 502);
    EXPECT_TRUE(recognizer.seen.empty());
    main.advanceBy(8.0);
    EXPECT_EQ(log.back(), "lock@28");
}

TEST_F(LockingManagerTest, withoutACameraEachCheckFailsAfterTheTimeoutAndTheEngineGoesOn)
{
    FakeCaptureBackend none(main);
    none.setDevices({});
    CameraManagerCombine noCamera(main, none);
    std::vector<std::string> errors;
    auto e = noCamera.cameraErrorSubject().sink([&](const CameraException &error) { errors.push_back(error.what()); });
    main.runPending();
    LockingManager lonely(main, noCamera, screenLock, idle, recognizer, [](std::function<void()> job) { job(); }, {});
    Log lonelyLog;
    auto s = lonely.statusSubject().sink(
        [&](Status st) { lonelyLog.push_back(std::string(name(st)) + "@" + seconds(main.elapsed())); });
    auto l = lonely.lockingSubject().sink([&](platform::Void) { lonelyLog.push_back("lock@" + seconds(main.elapsed())); });
    idleFor(7);
    lonely.start(true);
    main.advanceBy(30.0);
    EXPECT_EQ(errors, (std::vector<std::string>{"Camera unavailable"}));
    EXPECT_EQ(lonelyLog, (Log{"disabled@0", "idle@0", "disabled@20", "locking@20", "lock@28"}));
    // Tracking again: the next check fails the same way, and says nothing new.
    lonely.start(true);
    main.advanceBy(30.0);
    EXPECT_EQ(lonelyLog.back(), "lock@53"); // a check from 35 s to 45 s
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(none.runs(), 0);
}

TEST_F(LockingManagerTest, framesOfAnotherCameraUserNeverReachACheck)
{
    // Face enrolment keeps the camera running while the engine is locking, then tracking.
    FakeCaptureBackend device(main);
    device.produceFrames(platform::seconds(1.0 / 30));
    SharedCaptureBackend shared(device);
    auto engineClient = shared.client();
    auto enrolmentClient = shared.client();
    CameraManagerCombine engineCamera(main, *engineClient);
    main.runPending();
    int sent = 0;
    auto watchDevice = device.frames().sink([&](const cv::Mat &) { ++sent; });
    std::vector<int> engineFrames;
    auto watchEngine = engineCamera.cameraFrameSubject().sink([&](const cv::Mat &f) {
        const auto px = f.at<cv::Vec3b>(0, 0);
        engineFrames.push_back(px[0] + 256 * px[1]);
    });
    LockingManager other(main, engineCamera, screenLock, idle, recognizer, [](std::function<void()> job) { job(); },
                         {});
    enrolmentClient->start();
    main.advanceBy(3.0);
    other.startLocking();
    main.advanceBy(3.0);
    idleFor(7);
    recognizer.answers = {{true}};
    other.start(true); // at 6 s; the check at 11 s starts the engine's camera
    main.advanceBy(std::chrono::milliseconds(4999));
    EXPECT_GT(sent, 300);
    EXPECT_TRUE(engineFrames.empty());
    main.advanceBy(3.0);
    ASSERT_EQ(recognizer.seen.size(), 1u);
    ASSERT_FALSE(engineFrames.empty());
    EXPECT_EQ(recognizer.seen[0].front(), engineFrames.front());
    EXPECT_EQ(other.status(), Status::idle);
    EXPECT_FALSE(engineCamera.isRunning());
    EXPECT_TRUE(device.isRunning()); // enrolment still holds it
}
