#include "Platform/Capture/CaptureSession.h"
#include "tests/support/CaptureSamples.h"
#include "tests/support/Guards.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/RunTogether.h"
#include "tests/support/VirtualScheduler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <random>

using faciward::platform::CaptureDevice;
using faciward::platform::CaptureError;
using faciward::platform::CaptureException;
using faciward::platform::CaptureSession;
using faciward::platform::FrameReader;
using faciward::testing::frameNumber;
using faciward::testing::pumpUntil;
using faciward::testing::TempDir;
using faciward::testing::VirtualScheduler;
using namespace std::chrono_literals;

namespace {

const CaptureDevice cameraA{CaptureDevice::Kind::camera, "/dev/video0", "Camera A"};
const CaptureDevice cameraB{CaptureDevice::Kind::camera, "/dev/video2", "Camera B"};

// Readers whose behaviour the test scripts, and whose life it can watch from
// the test thread: how many were opened and closed, and how many reads ran.
struct ReaderScript
{
    std::mutex mutex;
    std::condition_variable changed;
    int opened = 0;
    int closed = 0;
    int reads = 0;
    std::map<std::string, int> openedByPath;
    // The next opens fail with this error, as many times as asked.
    std::optional<CaptureError> failOpen;
    int failOpenTimes = 0;
    // Read number (counted over all readers) that throws deviceLost.
    std::optional<int> loseAtRead;
    // When set, each read waits for a permit from the test.
    bool gated = false;
    int permits = 0;
    std::chrono::nanoseconds interval = 1ms;

    template<class P>
    bool waitFor(P predicate, std::chrono::milliseconds timeout = 10s)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, timeout, [&] { return predicate(); });
    }

    void permit(int n)
    {
        {
            std::lock_guard lock(mutex);
            permits += n;
        }
        changed.notify_all();
    }
};

// Frame n of a reader is a 4×4 picture whose pixels all hold value n (mod 256),
// plus 100 for camera B; written into one buffer that every read reuses, the
// way a driver's buffer is reused.
class ScriptedReader final : public FrameReader
{
public:
    ScriptedReader(ReaderScript &script, const CaptureDevice &device)
        : m_script(script)
        , m_offset(device == cameraB ? 100 : 0)
    {
    }

    ~ScriptedReader() override
    {
        {
            std::lock_guard lock(m_script.mutex);
            ++m_script.closed;
        }
        m_script.changed.notify_all();
    }

    cv::Mat read() override
    {
        std::unique_lock lock(m_script.mutex);
        const int number = m_script.reads++;
        m_script.changed.notify_all();
        if (m_script.gated) {
            m_script.changed.wait(lock, [&] { return m_script.permits > 0; });
            --m_script.permits;
        }
        if (m_script.loseAtRead && *m_script.loseAtRead == number)
            throw CaptureException(CaptureError::deviceLost, "/dev/video0", "No such device");
        m_buffer.setTo(cv::Scalar::all((m_offset + m_count++) % 256));
        return m_buffer;
    }

    std::chrono::nanoseconds frameInterval() const override { return m_script.interval; }

private:
    ReaderScript &m_script;
    int m_offset;
    int m_count = 0;
    cv::Mat m_buffer = cv::Mat(4, 4, CV_8UC3);
};

faciward::platform::FrameReaderFactory scriptedFactory(ReaderScript &script)
{
    return [&script](const CaptureDevice &device) -> std::unique_ptr<FrameReader> {
        {
            std::lock_guard lock(script.mutex);
            if (script.failOpen && script.failOpenTimes > 0) {
                --script.failOpenTimes;
                throw CaptureException::fromErrno(EBUSY, device.path);
            }
            ++script.opened;
            ++script.openedByPath[device.path.string()];
        }
        script.changed.notify_all();
        return std::make_unique<ScriptedReader>(script, device);
    };
}

int value(const cv::Mat &frame)
{
    return frame.at<cv::Vec3b>(0, 0)[0];
}

class CaptureSessionTest : public ::testing::Test
{
protected:
    void record(CaptureSession &session)
    {
        m_subscriptions.push_back(session.frames().sink([this](const cv::Mat &frame) {
            EXPECT_TRUE(main.isCurrent()) << "a frame was delivered off the main scheduler";
            frames.push_back(frame);
        }));
        m_subscriptions.push_back(
            session.failures().sink([this](const CaptureException &failure) { failures.push_back(failure); }));
    }

    std::vector<int> values(std::size_t from = 0) const
    {
        std::vector<int> result;
        for (std::size_t i = from; i < frames.size(); ++i)
            result.push_back(value(frames[i]));
        return result;
    }

    VirtualScheduler main;
    ReaderScript script;
    std::vector<cv::Mat> frames;
    std::vector<CaptureException> failures;

private:
    faciward::platform::CancellableSet m_subscriptions;
};

} // namespace

TEST_F(CaptureSessionTest, framesArriveInOrderOnTheMainSchedulerAsCopiesOfTheDriversBuffer)
{
    CaptureSession session(main, [] { return std::vector{cameraA, cameraB}; }, scriptedFactory(script));
    record(session);
    session.start();
    ASSERT_TRUE(pumpUntil(main, [&] { return frames.size() >= 5; }));
    session.stop();
    // The reader rewrote its one buffer for every frame; each delivered frame kept its own pixels.
    const auto delivered = values();
    EXPECT_EQ(std::vector<int>(delivered.begin(), delivered.begin() + 5), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(session.selected(), cameraA) << "the default device is the first one";
    EXPECT_TRUE(failures.empty());
}

TEST_F(CaptureSessionTest, aMainLoopThatFallsBehindGetsABoundedQueueNotEveryFrame)
{
    script.gated = true;
    CaptureSession session(main, [] { return std::vector{cameraA}; }, scriptedFactory(script));
    record(session);
    session.start();
    // The main loop does nothing while the camera reads 40 frames. The 41st read
    // has begun (and waits) only once the 40th frame was handed on, so nothing
    // more can arrive while the main loop catches up.
    script.permit(40);
    ASSERT_TRUE(script.waitFor([&] { return script.reads >= 41; }));
    main.runPending();
    EXPECT_EQ(frames.size(), 8u);
    const auto delivered = values();
    EXPECT_TRUE(std::is_sorted(delivered.begin(), delivered.end()));
    // Once it keeps up again, frames flow again.
    script.permit(1000);
    ASSERT_TRUE(pumpUntil(main, [&] { return frames.size() >= 12; }));
    session.stop();
}

TEST_F(CaptureSessionTest, startIsIdempotentAndSelectingWhileStoppedOpensNothing)
{
    CaptureSession session(main, [] { return std::vector{cameraA, cameraB}; }, scriptedFactory(script));
    record(session);
    session.select(cameraB);
    session.select(cameraA);
    EXPECT_FALSE(session.isRunning());
    session.start();
    EXPECT_TRUE(session.isRunning());
    session.start();
    ASSERT_TRUE(pumpUntil(main, [&] { return frames.size() >= 2; }));
    session.stop();
    EXPECT_FALSE(session.isRunning());
    session.stop();
    ASSERT_TRUE(script.waitFor([&] { return script.closed == 1; }));
    std::lock_guard lock(script.mutex);
    EXPECT_EQ(script.opened, 1) << "a second start while running must not reopen the device";
    EXPECT_EQ(script.openedByPath["/dev/video2"], 0);
}

TEST_F(CaptureSessionTest, stopEndsDeliveryWithinOneFrame)
{
    script.gated = true;
    CaptureSession session(main, [] { return std::vector{cameraA}; }, scriptedFactory(script));
    record(session);
    session.start();
    script.permit(2);
    ASSERT_TRUE(pumpUntil(main, [&] { return frames.size() == 2; }));
    // The third read is under way when stop comes: it may finish, but its frame
    // is not delivered and no fourth read starts.
    ASSERT_TRUE(script.waitFor([&] { return script.reads == 3; }));
    session.stop();
    script.permit(1);
    ASSERT_TRUE(script.waitFor([&] { return script.closed == 1; }));
    main.runPending();
    EXPECT_EQ(frames.size(), 2u);
    std::lock_guard lock(script.mutex);
    EXPECT_EQ(script.reads, 3);
}

TEST_F(CaptureSessionTest, aFailureEndsTheRunAfterItsFramesAndTheNextStartTriesAfresh)
{
    struct Case
    {
        const char *what;
        std::vector<CaptureDevice> devices;
        std::function<void()> script;
        CaptureError error;
        std::string detail;
        std::vector<int> framesBefore;
    };
    const Case cases[] = {
        {"lost at the third read", {cameraA}, [&] { script.loseAtRead = 2; }, CaptureError::deviceLost,
         "No such device", {0, 1}},
        {"busy at open", {cameraA}, [&] { script.failOpen = CaptureError::openFailed, script.failOpenTimes = 1; },
         CaptureError::openFailed, "Device or resource busy", {}},
        {"no device at all", {}, [] {}, CaptureError::deviceMissing, "", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        frames.clear();
        failures.clear();
        script.reads = 0;
        script.loseAtRead.reset();
        script.failOpen.reset();
        c.script();
        {
            CaptureSession session(main, [&c] { return c.devices; }, scriptedFactory(script));
            record(session);
            session.start();
            ASSERT_TRUE(pumpUntil(main, [&] { return !failures.empty(); }));
            EXPECT_FALSE(session.isRunning()) << "a failure ends the run";
            EXPECT_EQ(failures[0].error(), c.error);
            if (!c.detail.empty()) {
                EXPECT_EQ(failures[0].detail(), c.detail);
            }
            EXPECT_EQ(values(), c.framesBefore);
            if (c.devices.empty())
                continue;
            session.start();
            ASSERT_TRUE(pumpUntil(main, [&] { return frames.size() >= c.framesBefore.size() + 2; }));
            EXPECT_EQ(values(c.framesBefore.size()).front(), 0) << "the device was opened afresh";
            EXPECT_EQ(failures.size(), 1u);
        }
        main.runPending();
    }
}

TEST_F(CaptureSessionTest, selectingAnotherDeviceWhileRunningSwitchesBetweenTwoFrames)
{
    CaptureSession session(main, [] { return std::vector{cameraA, cameraB}; }, scriptedFactory(script));
    record(session);
    session.select(cameraA);
    session.start();
    ASSERT_TRUE(pumpUntil(main, [&] { return frames.size() >= 2; }));
    session.select(cameraB);
    EXPECT_EQ(session.selected(), cameraB);
    ASSERT_TRUE(pumpUntil(main, [&] { return !frames.empty() && value(frames.back()) >= 100; }));
    const std::size_t firstB = frames.size() - 1;
    ASSERT_TRUE(pumpUntil(main, [&] { return frames.size() >= firstB + 4; }));
    for (std::size_t i = firstB; i < frames.size(); ++i)
        EXPECT_GE(value(frames[i]), 100) << "frame " << i << " came from the old device after the switch";
    session.stop();
    ASSERT_TRUE(script.waitFor([&] { return script.closed == 2; }));
    std::lock_guard lock(script.mutex);
    EXPECT_EQ(script.openedByPath["/dev/video0"], 1);
    EXPECT_EQ(script.openedByPath["/dev/video2"], 1);
}

TEST_F(CaptureSessionTest, selectionsStartsAndStopsFromSeveralThreadsNeverRaceNorLeak)
{
    {
        CaptureSession session(main, [] { return std::vector{cameraA, cameraB}; }, scriptedFactory(script));
        record(session);
        faciward::testing::runTogether(2, [&session](int seed) {
            std::mt19937 random(static_cast<unsigned>(seed));
            for (int i = 0; i < 300; ++i) {
                const auto what = random() % 4;
                if (what < 2)
                    session.select(what == 0 ? cameraA : cameraB);
                else if (what == 2)
                    session.start();
                else
                    session.stop();
            }
        });
        // The last requests win, whatever came before.
        session.stop();
        session.select(cameraB);
        session.start();
        main.runPending();
        const std::size_t before = frames.size();
        ASSERT_TRUE(pumpUntil(main, [&] { return frames.size() >= before + 3; }));
        for (std::size_t i = before; i < frames.size(); ++i)
            EXPECT_GE(value(frames[i]), 100) << "frame " << i << " is not from the device selected last";
        // Destroyed while running: its thread ends, frames posted before the end are dropped quietly.
    }
    main.runPending();
    std::lock_guard lock(script.mutex);
    EXPECT_EQ(script.opened, script.closed) << "every opened device is closed again";
}

// --- real sources: the same thread and code as a camera ----------------------

TEST_F(CaptureSessionTest, aPictureFolderLoopsInOrderAndBeginsAgainAfterStopWithNoFrameOfTheOldRun)
{
    TempDir dir;
    faciward::testing::writeNumberedPictures(dir / "pictures", 3);
    const auto source = CaptureDevice::fromPath(dir / "pictures");
    CaptureSession session(main, [source] { return std::vector{source}; });
    record(session);
    session.start();
    ASSERT_TRUE(pumpUntil(main, [&] { return frames.size() >= 5; }));
    session.stop();
    const std::size_t atStop = frames.size();
    std::vector<int> numbers;
    for (const auto &frame : frames)
        numbers.push_back(frameNumber(frame));
    EXPECT_EQ(std::vector<int>(numbers.begin(), numbers.begin() + 5), (std::vector<int>{0, 1, 2, 0, 1}));
    main.runPending();
    EXPECT_EQ(frames.size(), atStop) << "a frame arrived after stop()";
    session.start();
    ASSERT_TRUE(pumpUntil(main, [&] { return frames.size() > atStop; }));
    EXPECT_EQ(frameNumber(frames[atStop]), 0) << "the first frame after the restart is not the folder's first";
}

TEST_F(CaptureSessionTest, aVideoDeliversItsFramesInOrderAtItsOwnRate)
{
    TempDir dir;
    ASSERT_TRUE(faciward::testing::writeNumberedVideo(dir / "clip.avi", 4, 20.0));
    const auto source = CaptureDevice::fromPath(dir / "clip.avi");
    CaptureSession session(main, [source] { return std::vector{source}; });
    record(session);
    const auto started = std::chrono::steady_clock::now();
    session.start();
    ASSERT_TRUE(pumpUntil(main, [&] { return frames.size() >= 10; }));
    const auto took = std::chrono::steady_clock::now() - started;
    session.stop();
    std::vector<int> numbers;
    for (std::size_t i = 0; i < 10; ++i)
        numbers.push_back(frameNumber(frames[i]));
    EXPECT_EQ(numbers, (std::vector<int>{0, 1, 2, 3, 0, 1, 2, 3, 0, 1}));
    // Ten frames at 20 a second are nine intervals of 50 ms apart: never faster.
    EXPECT_GE(took, 440ms);
}
