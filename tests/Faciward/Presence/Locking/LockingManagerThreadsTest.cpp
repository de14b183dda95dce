// The check cycle with recognition on a real worker thread: the verdict is
// applied on the main scheduler's thread only, and a verdict that a disable
// overtook while the worker was busy changes nothing but the check time.
#include "Faciward/Presence/Devices/CameraManagerCombine.h"
#include "Faciward/Presence/Devices/ScreenLockingStatusManager.h"
#include "Faciward/Presence/Locking/LockingManager.h"
#include "Faciward/Presence/Recognition/FrameRecognizer.h"
#include "Platform/Runtime/SerialQueue.h"
#include "tests/support/FakeCaptureBackend.h"
#include "tests/support/FakeIdleTimeSource.h"
#include "tests/support/FakeScreenLockSignals.h"
#include "tests/support/Guards.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/ScopedSettingsFile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace faciward;
using namespace faciward::presence;
using faciward::settings::DisableTime;
using faciward::testing::FakeCaptureBackend;
using faciward::testing::FakeIdleTimeSource;
using faciward::testing::FakeScreenLockSignals;
using faciward::testing::VirtualScheduler;
using Status = LockingManager::Status;

namespace {

// Answers on the worker once the test lets it; remembers the worker's thread.
class GatedRecognizer final : public FrameRecognizer
{
public:
    bool owner = true;

    bool hasModel() const override { return true; }
    void loadModel() override {}
    std::vector<bool> recognize(const std::vector<platform::Image> &frames) override
    {
        std::unique_lock lock(m_mutex);
        m_thread = std::this_thread::get_id();
        m_entered = true;
        m_changed.notify_all();
        if (!m_changed.wait_for(lock, std::chrono::seconds(20), [this] { return m_open; }))
            return {};
        return std::vector<bool>(frames.size(), owner);
    }

    bool waitUntilEntered()
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(20), [this] { return m_entered; });
    }
    void open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    std::thread::id thread()
    {
        std::lock_guard lock(m_mutex);
        return m_thread;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_entered = false;
    bool m_open = false;
    std::thread::id m_thread;
};

class LockingManagerThreadsTest : public ::testing::Test
{
protected:
    faciward::testing::TempHome home;
    faciward::testing::ScopedSettingsFile settings;
    VirtualScheduler main;
    FakeCaptureBackend backend{main};
    CameraManagerCombine camera{main, backend};
    FakeScreenLockSignals signals;
    ScreenLockingStatusManager screenLock{signals};
    FakeIdleTimeSource idle{FakeIdleTimeSource::Seconds(60)};
    GatedRecognizer recognizer;
    std::atomic<int> picturesStored{0};
    platform::SerialQueue worker{"recognition"};
    LockingManager manager{main,
                           camera,
                           screenLock,
                           idle,
                           recognizer,
                           [this](std::function<void()> job) { worker.async(std::move(job)); },
                           [this](const platform::Image &, const std::string &) { ++picturesStored; }};
    std::vector<Status> statuses;
    std::vector<std::thread::id> publishers;
    std::atomic<int> lockSignals{0};
    platform::AnyCancellable statusLog = manager.statusSubject().sink([this](Status s) {
        statuses.push_back(s);
        publishers.push_back(std::this_thread::get_id());
    });
    platform::AnyCancellable lockLog = manager.lockingSubject().sink([this](platform::Void) { ++lockSignals; });

    void SetUp() override
    {
        backend.produceFrames(platform::seconds(1.0 / 30));
        main.runPending();
    }

    // Tracks, and collects five frames: the recognition is then on the worker.
    void collect()
    {
        manager.start(true);
        main.advanceBy(13.0);
        ASSERT_TRUE(recognizer.waitUntilEntered());
    }
};

} // namespace

TEST_F(LockingManagerThreadsTest, theVerdictIsAppliedOnTheMainThreadOnly)
{
    collect();
    const auto before = manager.lastCheckCompleted();
    EXPECT_EQ(manager.status(), Status::processing);
    recognizer.open();
    ASSERT_TRUE(faciward::testing::pumpUntil(main, [&] { return manager.lastCheckCompleted() != before; }));
    EXPECT_NE(recognizer.thread(), std::this_thread::get_id());
    EXPECT_EQ(statuses, (std::vector<Status>{Status::disabled, Status::idle, Status::processing, Status::processing,
                                             Status::processing, Status::processing, Status::idle}));
    for (const auto &id : publishers)
        EXPECT_EQ(id, std::this_thread::get_id());
}

TEST_F(LockingManagerThreadsTest, aVerdictThatADisableOvertookLocksNothing)
{
    recognizer.owner = false;
    collect();
    manager.disable(15, DisableTime::State::time);
    const auto before = manager.lastCheckCompleted();
    const auto seen = statuses;
    recognizer.open();
    ASSERT_TRUE(faciward::testing::pumpUntil(main, [&] { return manager.lastCheckCompleted() != before; }));
    main.advanceBy(20.0);
    EXPECT_EQ(statuses, seen);
    EXPECT_EQ(manager.status(), Status::disabled);
    EXPECT_EQ(lockSignals.load(), 0);
    EXPECT_EQ(picturesStored.load(), 0);
    EXPECT_EQ(manager.disableTimer().count(), 900u - 20u);
}
