#include "Faciward/Presence/Locking/ImageStoreService.h"
#include "Faciward/Settings/Keys.h"
#include "Platform/Runtime/SerialQueue.h"
#include "SettingsStore/Prefs.h"
#include "tests/support/LockingManagerFixture.h"
#include "tests/support/PumpUntil.h"

#include <algorithm>
#include <condition_variable>
#include <thread>

using namespace faciward;
using namespace faciward::presence;
using faciward::prefs::Prefs;
using faciward::settings::DisableTime;
using faciward::testing::FakeCaptureBackend;
namespace Keys = faciward::settings::Keys;

class LockingManagerTest : public faciward::testing::LockingManagerFixture
{
protected:
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
    idle.setIdleTime(7);
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
    ASSERT_EQ(recognizer.seen.size(), 1u);
    EXPECT_EQ(recognizer.seen[0].size(), 5u);
    EXPECT_TRUE(pictures.empty());
}

TEST_F(LockingManagerTest, aStrangerGetsPictureThenCountDownThenLockSignal)
{
    Prefs::set(Keys::takePictureWhenLockingScreen(), true);
    idle.setIdleTime(7);
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
    main.advanceBy(60.0); // tracking stopped with the lock path: no more checks, one signal
    EXPECT_EQ(backend.runs(), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "lock@20.433"), 1);
    EXPECT_EQ(manager.status(), Status::locking);
}

TEST_F(LockingManagerTest, theCountDownWaitsForThePictureAndWhatComesMeanwhileWins)
{
    Prefs::set(Keys::takePictureWhenLockingScreen(), true);
    queuePictures = true;
    idle.setIdleTime(7);
    struct Case
    {
        const char *what;
        std::function<void()> meanwhile;
        Status status; // after the store landed
    };
    for (const auto &c : {Case{"nothing", [] {}, Status::locking},
                          Case{"stop", [&] { manager.stop(); }, Status::disabled},
                          Case{"disable", [&] { manager.disable(15, DisableTime::State::time); }, Status::disabled},
                          Case{"screen lock", [&] { signals.lock(); }, Status::disabled}}) {
        SCOPED_TRACE(c.what);
        signals.unlock();
        manager.start(true);
        pictures.clear();
        main.advanceBy(13.0); // the verdict came at +12.433 s; the picture is being stored
        ASSERT_EQ(storing.size(), 1u);
        ASSERT_EQ(pictures.size(), 1u);
        EXPECT_EQ(manager.status(), Status::processing);
        EXPECT_FALSE(manager.lockingCountDown().isRunning());
        main.advanceBy(10.0); // no other check while the picture is stored
        EXPECT_EQ(recognizer.seen.size(), 1u);
        c.meanwhile();
        const auto before = log.size();
        auto stored = std::move(storing.front());
        storing.pop_front();
        stored();
        const auto at = seconds(main.elapsed());
        EXPECT_EQ(since(before),
                  c.status == Status::locking ? (Log{"disabled@" + at, "locking@" + at}) : Log{});
        EXPECT_EQ(manager.status(), c.status);
        EXPECT_EQ(manager.lockingCountDown().isRunning(), c.status == Status::locking);
        manager.lockingCountDown().cancel();
        manager.disableTimer().cancel();
        recognizer.seen.clear();
    }
}

TEST_F(LockingManagerTest, failuresCountAsAnAbsentOwner)
{
    idle.setIdleTime(7);
    struct Case
    {
        const char *what;
        bool failLoad, failRecognize;
    };
    for (const auto &c : {Case{"no answers", false, false}, Case{"recognition throws", false, true},
                          Case{"model cannot load", true, false}}) {
        SCOPED_TRACE(c.what);
        recognizer.failLoad = c.failLoad;
        recognizer.failRecognize = c.failRecognize;
        recognizer.loaded = false;
        log.clear();
        manager.start(true);
        main.advanceBy(13.0);
        ASSERT_GE(log.size(), 2u);
        const auto at = log.back().substr(log.back().find('@'));
        EXPECT_EQ(since(log.size() - 2), (Log{"disabled" + at, "locking" + at}));
        main.advanceBy(10.0);
        EXPECT_EQ(log.back(), "lock@" + seconds(std::stod(at.substr(1)) + 8));
    }
}

TEST_F(LockingManagerTest, whatCountsAsAbsentAndHowManyPicturesTheLockPathTakes)
{
    idle.setIdleTime(7);
    enum class Answer { results, recognitionThrows, modelCannotLoad };
    struct Case
    {
        const char *what;
        Answer answer;
        std::vector<bool> results;
        bool takePicture;
        bool locks;
        std::size_t pictures; // each the fifth frame of the check
    };
    for (const auto &c : {
             Case{"one frame of five with the owner", Answer::results, {false, false, true, false, false}, true, false, 0},
             Case{"an empty result list", Answer::results, {}, true, true, 1},
             Case{"an empty result list, no picture asked", Answer::results, {}, false, true, 0},
             Case{"nobody in five frames", Answer::results, {false, false, false, false, false}, true, true, 1},
             Case{"nobody, no picture asked", Answer::results, {false, false, false, false, false}, false, true, 0},
             Case{"recognition throws", Answer::recognitionThrows, {}, true, true, 1},
             Case{"recognition throws, no picture asked", Answer::recognitionThrows, {}, false, true, 0},
             Case{"the model cannot load", Answer::modelCannotLoad, {}, true, true, 1},
             Case{"the model cannot load, no picture asked", Answer::modelCannotLoad, {}, false, true, 0},
         }) {
        SCOPED_TRACE(c.what);
        Prefs::set(Keys::takePictureWhenLockingScreen(), c.takePicture);
        recognizer.answers = {c.results};
        recognizer.failRecognize = c.answer == Answer::recognitionThrows;
        recognizer.failLoad = c.answer == Answer::modelCannotLoad;
        recognizer.loaded = false;
        recognizer.seen.clear();
        pictures.clear();
        manager.start(true);
        main.advanceBy(13.0);
        EXPECT_EQ(manager.status(), c.locks ? Status::locking : Status::idle);
        EXPECT_EQ(pictures.size(), c.pictures);
        if (!pictures.empty()) {
            ASSERT_EQ(recognizer.seen.size(), c.answer == Answer::modelCannotLoad ? 0u : 1u);
            if (!recognizer.seen.empty()) {
                EXPECT_EQ(pictures.front().first, recognizer.seen[0].back());
            }
        }
        manager.lockingCountDown().cancel();
        manager.stop();
        main.advanceBy(10.0); // the next check waits "inactivityTime" after this one
    }
}

TEST_F(LockingManagerTest, untilTomorrowPeriodsArmNothingAndHoldOnTheDayTheyBegan)
{
    manager.start(true);
    manager.disable(0, DisableTime::State::untilTomorrow);
    const auto stored = Prefs::get(Keys::disableTime());
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(*stored, (DisableTime{main.wallNow(), std::nullopt, DisableTime::State::untilTomorrow}));
    EXPECT_FALSE(manager.disableTimer().isRunning());
    EXPECT_EQ(manager.status(), Status::disabled);
    const auto queries = idle.queries();
    main.advanceBy(60.0);
    log.clear();
    manager.start(false); // the same day: nothing changes
    main.advanceBy(60.0);
    EXPECT_EQ(log, Log{});
    EXPECT_EQ(idle.queries(), queries);
    EXPECT_FALSE(manager.disableTimer().isRunning());
    EXPECT_EQ(Prefs::get(Keys::disableTime()), stored);
}

TEST_F(LockingManagerTest, theIdleGatesCompareStrictlyAndTickOnlyWhileTracking)
{
    // The manager was made at 0 s, which counts as the last check.
    Prefs::set(Keys::inactivityTime(), std::int64_t(5));
    idle.setIdleTime(1000);
    manager.start(true);
    main.advanceBy(5.0);
    EXPECT_EQ(idle.queries(), 1);
    EXPECT_EQ(backend.runs(), 0); // exactly 5 s since the last check is not more than 5
    main.advanceBy(5.0);
    EXPECT_EQ(backend.runs(), 1);
    recognizer.answers = {{true}};
    Prefs::set(Keys::inactivityTime(), std::int64_t(6));
    main.advanceBy(5.0); // verdict at 12.433; the tick at 15 s is only 2.567 s after it
    EXPECT_EQ(backend.runs(), 1);
    idle.setIdleTime(6.0);
    main.advanceBy(5.0); // 20 s: idle exactly "inactivityTime" is not enough
    EXPECT_EQ(backend.runs(), 1);
    idle.setIdleTime(6.1);
    main.advanceBy(5.0);
    EXPECT_EQ(backend.runs(), 2);

    main.advanceBy(5.0); // 30 s: locking, which stopped tracking
    manager.stop();
    const int queries = idle.queries();
    main.advanceBy(60.0);
    EXPECT_EQ(idle.queries(), queries);
    log.clear();
    manager.start(true); // at 90 s; starting again keeps one timer
    manager.start(true);
    manager.start(false);
    main.advanceBy(std::chrono::milliseconds(4999));
    EXPECT_EQ(idle.queries(), queries);
    main.advanceBy(std::chrono::milliseconds(1));
    EXPECT_EQ(idle.queries(), queries + 1);
    EXPECT_EQ(log, (Log{"idle@90", "idle@90", "idle@90"}));
}

TEST_F(LockingManagerTest, aVerdictOvertakenByDisableStopOrLockChangesOnlyTheCheckTime)
{
    queueJobs = true;
    idle.setIdleTime(7);
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
        runJob();
        EXPECT_EQ(log, before);
        EXPECT_EQ(manager.status(), status);
        EXPECT_EQ(manager.lastCheckCompleted(), main.now());
        manager.lockingCountDown().cancel();
    }
    EXPECT_TRUE(pictures.empty());
}

TEST_F(LockingManagerTest, aStaleVerdictNeverEndsTheNewerCheckStillRecognising)
{
    queueJobs = true;
    idle.setIdleTime(7);
    recognizer.answers = {{false}, {true}}; // the old check saw a stranger, the new one the owner
    manager.start(true);
    main.advanceBy(13.0); // the first check is recognising
    ASSERT_EQ(jobs.size(), 1u);
    manager.stop();
    manager.start(true);
    main.advanceBy(13.0); // the second check is recognising too
    ASSERT_EQ(jobs.size(), 2u);
    ASSERT_EQ(manager.status(), Status::processing);
    const auto before = log;
    runJob(); // the first verdict arrives late
    EXPECT_EQ(log, before);
    EXPECT_EQ(manager.status(), Status::processing);
    runJob();
    EXPECT_EQ(since(before.size()), (Log{"idle@" + seconds(main.elapsed())}));
}

TEST_F(LockingManagerTest, eachCheckUsesOnlyFramesOfItsOwnCollection)
{
    int lastDelivered = -1;
    auto watch = camera.cameraFrameSubject().sink(
        [&](const cv::Mat &f) { lastDelivered = FakeCaptureBackend::frameNumber(f); });
    idle.setIdleTime(7);
    manager.start(true);
    recognizer.answers = {{true}, {true}};
    main.advanceBy(20.0); // a check from 10 s to 12.433 s; the next collection starts at 20 s
    ASSERT_EQ(recognizer.seen.size(), 1u);
    EXPECT_EQ(recognizer.seen[0].back(), lastDelivered);
    main.advanceBy(1.0);
    manager.stop(); // three frames of this collection are dropped
    const int lastOfStopped = lastDelivered;
    manager.start(true);
    main.advanceBy(13.0);
    ASSERT_EQ(recognizer.seen.size(), 2u);
    EXPECT_EQ(recognizer.seen[1].front(), lastOfStopped + 1);
    for (std::size_t i = 1; i < recognizer.seen[1].size(); ++i)
        EXPECT_EQ(recognizer.seen[1][i] - recognizer.seen[1][i - 1], 18); // 0.6 s at 30 frames a second
}

TEST_F(LockingManagerTest, theLockCountDownTicksEverySecondAndEndsEarlyOnlyWhenOvertaken)
{
    Prefs::set(Keys::locksComputerAfterRate(), std::int64_t(3));
    std::vector<std::string> counts;
    auto c = manager.lockingCountDown().publisher().sink(
        [&](std::uint64_t n) { counts.push_back(std::to_string(n) + "@" + seconds(main.elapsed())); });
    main.advanceBy(1.5);
    manager.startLocking();
    main.advanceBy(std::chrono::milliseconds(2999));
    EXPECT_EQ(log, (Log{"disabled@1.5", "locking@1.5"}));
    main.advanceBy(std::chrono::milliseconds(1));
    EXPECT_EQ(counts, (std::vector<std::string>{"3@1.5", "2@2.5", "1@3.5", "0@4.5"}));
    EXPECT_EQ(log.back(), "lock@4.5");

    const std::vector<std::pair<const char *, std::function<void()>>> overtakers = {
        {"disable", [&] { manager.disable(5, DisableTime::State::time); }},
        {"screen locked and unlocked", [&] { signals.lock(), signals.unlock(); }},
        {"cancel and start", [&] { manager.lockingCountDown().cancel(), manager.start(true); }},
    };
    for (const auto &[what, overtake] : overtakers) {
        SCOPED_TRACE(what);
        log.clear();
        manager.startLocking();
        main.advanceBy(2.0);
        overtake();
        main.advanceBy(20.0);
        EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string &l) { return l.rfind("lock@", 0) == 0; }),
                  0);
        manager.start(true);
    }
    for (const std::int64_t rate : {0, -3}) { // zero or less signals on the next turn
        Prefs::set(Keys::locksComputerAfterRate(), rate);
        log.clear();
        manager.startLocking();
        main.advanceBy(0.0);
        EXPECT_EQ(since(1), (Log{"locking@" + seconds(main.elapsed()), "lock@" + seconds(main.elapsed())}));
    }
}

TEST_F(LockingManagerTest, timedDisablePeriodsAreStoredHonouredAndEnded)
{
    manager.start(true);
    manager.disable(15, DisableTime::State::time);
    EXPECT_EQ(manager.disableTimer().count(), 900u);
    auto stored = Prefs::get(Keys::disableTime());
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->duration, 15);
    EXPECT_EQ(stored->startDate, main.wallNow());
    main.advanceBy(899.0);
    EXPECT_EQ(manager.status(), Status::disabled);
    main.advanceBy(1.0);
    EXPECT_EQ(manager.status(), Status::idle);
    EXPECT_FALSE(Prefs::get(Keys::disableTime()).has_value());

    struct Case
    {
        const char *what;
        platform::Scheduler::Duration ago;
        std::uint64_t left;
    };
    for (const auto &c : {Case{"in force", std::chrono::minutes(4), 360}, Case{"over", std::chrono::minutes(11), 0},
                          Case{"less than a second left", std::chrono::milliseconds(599500), 0}}) {
        SCOPED_TRACE(c.what);
        manager.stop();
        storeTimedPeriod(10, c.ago);
        log.clear();
        idle.setIdleTime(1000);
        const auto queries = idle.queries();
        manager.start(false);
        EXPECT_EQ(manager.disableTimer().count(), c.left);
        if (c.left > 0) { // no idle timer while the period holds; its end starts tracking
            main.advanceBy(c.left - 1.0);
            EXPECT_EQ(idle.queries(), queries);
            EXPECT_TRUE(log.empty());
        }
        main.advanceBy(c.left ? 1.0 : 0.0);
        EXPECT_EQ(log, (Log{"idle@" + seconds(main.elapsed())}));
        EXPECT_FALSE(Prefs::get(Keys::disableTime()).has_value());
    }
}

TEST_F(LockingManagerTest, screenLockStopsAndUnlockRestartsAtOnce)
{
    idle.setIdleTime(7);
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
    manager.disable(1, DisableTime::State::time); // a period that ends while locked starts tracking
    signals.lock();
    main.advanceBy(60.0);
    EXPECT_EQ(manager.status(), Status::idle);
}

TEST_F(LockingManagerTest, behindALockedScreenOnlyAForcingStartTracks)
{
    idle.setIdleTime(1000);
    signals.lock();
    log.clear();
    manager.start(false); // as at the application's start, or a restart behind the lock screen
    main.advanceBy(30.0);
    EXPECT_EQ(log, Log{});
    EXPECT_EQ(backend.runs(), 0);
    signals.unlock();
    EXPECT_EQ(log, Log{"idle@30"});
    main.advanceBy(5.0);
    EXPECT_TRUE(backend.isRunning());
    signals.lock();
    manager.start(true); // a timed disable period that ends while the screen is locked
    EXPECT_EQ(manager.status(), Status::idle);
}

TEST_F(LockingManagerTest, aCameraThatGivesTooFewFramesEndsTheCheckWithoutLocking)
{
    Prefs::set(Keys::takePictureWhenLockingScreen(), true);
    struct Case
    {
        const char *what;
        std::vector<int> frames; // delivered at 10 s, 11 s, ...
        Log statuses;            // from the start at 0 s
    };
    for (const auto &c : {Case{"quiet", {}, {"disabled@0", "idle@0", "idle@20"}},
                          Case{"two frames", {501, 502}, {"disabled@0", "idle@0", "processing@10", "processing@11", "idle@20"}}}) {
        SCOPED_TRACE(c.what);
        FakeCaptureBackend quiet(main);
        quiet.produceFrames(std::chrono::seconds(1000)); // nothing by itself
        CameraManagerCombine cam(main, quiet);
        main.runPending();
        LockingManager m(main, cam, screenLock, idle, recognizer, [](std::function<void()> job) { job(); },
                         [&](const platform::Image &image, const std::string &, const std::function<void()> &) {
                             pictures.emplace_back(FakeCaptureBackend::frameNumber(image), "");
                         });
        Log seen;
        const double began = main.elapsed();
        auto s = m.statusSubject().sink(
            [&](Status status) { seen.push_back(std::string(name(status)) + "@" + seconds(main.elapsed() - began)); });
        auto l = m.lockingSubject().sink([&](platform::Void) { seen.push_back("lock"); });
        pictures.clear();
        idle.setIdleTime(7);
        m.start(true);
        main.advanceBy(10.0); // camera on 10 s after the start
        for (int n : c.frames) {
            quiet.deliver(cv::Mat(480, 640, CV_8UC3, FakeCaptureBackend::frameColour(n)));
            main.advanceBy(1.0);
        }
        main.advanceBy(std::chrono::milliseconds(9999) - platform::seconds(double(c.frames.size())));
        EXPECT_TRUE(quiet.isRunning());
        main.advanceBy(std::chrono::milliseconds(1)); // 10 s after the camera started
        EXPECT_FALSE(quiet.isRunning());
        EXPECT_EQ(m.status(), Status::idle);
        EXPECT_EQ(m.lastCheckCompleted(), main.now());
        EXPECT_FALSE(m.lockingCountDown().isRunning());
        main.advanceBy(9.9); // the next check waits "inactivityTime" after the failed one, then tries again
        EXPECT_EQ(quiet.runs(), 1);
        main.advanceBy(0.1);
        EXPECT_EQ(quiet.runs(), 2);
        EXPECT_EQ(seen, (c.statuses)) << "statuses seen, no lock";
        EXPECT_TRUE(pictures.empty());
        EXPECT_TRUE(recognizer.seen.empty());
        m.stop();
    }
}

// Recognition on a real worker thread: the verdict is applied on the main
// scheduler's thread only.
TEST_F(LockingManagerTest, theVerdictOfTheWorkerIsAppliedOnTheMainThreadOnly)
{
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false, open = false;
    std::thread::id worker;
    recognizer.answers = {{true}};
    recognizer.gate = [&] {
        std::unique_lock lock(mutex);
        worker = std::this_thread::get_id();
        entered = true;
        changed.notify_all();
        changed.wait_for(lock, std::chrono::seconds(20), [&] { return open; });
    };
    platform::SerialQueue queue{"recognition"};
    executor = [&](std::function<void()> job) { queue.async(std::move(job)); };
    std::vector<std::thread::id> publishers;
    auto s = manager.statusSubject().sink([&](Status) { publishers.push_back(std::this_thread::get_id()); });
    idle.setIdleTime(60);
    manager.start(true);
    main.advanceBy(13.0);
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(20), [&] { return entered; }));
        open = true;
        changed.notify_all();
    }
    EXPECT_EQ(manager.status(), Status::processing);
    ASSERT_TRUE(faciward::testing::pumpUntil(main, [&] { return manager.status() == Status::idle; }));
    EXPECT_NE(worker, std::this_thread::get_id());
    for (const auto &id : publishers)
        EXPECT_EQ(id, std::this_thread::get_id());
}
