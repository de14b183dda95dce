#pragma once

#include "Faciward/Presence/Devices/CameraManagerCombine.h"
#include "Faciward/Presence/Devices/ScreenLockingStatusManager.h"
#include "Faciward/Presence/Locking/LockingManager.h"
#include "Faciward/Presence/Recognition/FrameRecognizer.h"
#include "tests/support/FakeCaptureBackend.h"
#include "tests/support/FakeIdleTimeSource.h"
#include "tests/support/FakeScreenLockSignals.h"
#include "tests/support/Guards.h"
#include "tests/support/ScopedSettingsFile.h"
#include "tests/support/VirtualScheduler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <functional>
#include <mutex>
#include <sstream>
#include <stdexcept>

namespace faciward::testing {

/// @brief A recogniser that answers as scripted, one answer per check, and
/// records the frames of each check by their fake-camera number. `gate`, when
/// set, runs first on the recognising thread.
class ScriptedRecognizer final : public presence::FrameRecognizer
{
public:
    std::deque<std::vector<bool>> answers;
    bool failLoad = false;
    bool failRecognize = false;
    bool loaded = false;
    std::vector<std::vector<int>> seen;
    std::function<void()> gate;

    bool hasModel() const override { return loaded; }
    void loadModel() override
    {
        if (failLoad)
            throw std::runtime_error("modelMissing");
        loaded = true;
    }
    std::vector<bool> recognize(const std::vector<platform::Image> &frames) override
    {
        if (gate)
            gate();
        std::lock_guard lock(m_mutex);
        std::vector<int> numbers;
        for (const auto &f : frames)
            numbers.push_back(FakeCaptureBackend::frameNumber(f));
        seen.push_back(numbers);
        if (failRecognize)
            throw std::runtime_error("modelNotLoaded");
        if (answers.empty())
            return std::vector<bool>(frames.size(), false);
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }

private:
    std::mutex m_mutex;
};

/// @brief The check cycle on virtual time: a 30-frames-a-second fake camera,
/// fake idle time and screen-lock signals, the scripted recogniser, and a log
/// of statuses and lock signals stamped with virtual seconds ("idle@10.033").
/// Recognition runs at once, is queued in `jobs` (queueJobs), or goes to `executor`.
/// A lock picture is recorded in `pictures` and counts as stored at once, or,
/// with queuePictures, when the test calls the first of `storing`.
class LockingManagerFixture : public ::testing::Test
{
protected:
    using Status = presence::LockingManager::Status;
    using Log = std::vector<std::string>;

    TempHome home;
    ScopedSettingsFile settings;
    VirtualScheduler main;
    FakeCaptureBackend backend{main};
    presence::CameraManagerCombine camera{main, backend};
    FakeScreenLockSignals signals;
    presence::ScreenLockingStatusManager screenLock{signals};
    FakeIdleTimeSource idle{FakeIdleTimeSource::Seconds(0)};
    ScriptedRecognizer recognizer;
    bool queueJobs = false;
    std::deque<std::function<void()>> jobs;
    presence::LockingManager::Executor executor;
    std::vector<std::pair<int, std::string>> pictures;
    bool queuePictures = false;
    std::deque<std::function<void()>> storing;
    presence::LockingManager manager{main,
                                     camera,
                                     screenLock,
                                     idle,
                                     recognizer,
                                     [this](std::function<void()> job) {
                                         if (executor)
                                             executor(std::move(job));
                                         else if (queueJobs)
                                             jobs.push_back(std::move(job));
                                         else
                                             job();
                                     },
                                     [this](const platform::Image &image, const std::string &key,
                                            std::function<void()> stored) {
                                         pictures.emplace_back(FakeCaptureBackend::frameNumber(image), key);
                                         if (queuePictures)
                                             storing.push_back(std::move(stored));
                                         else
                                             stored();
                                     }};
    Log log;
    platform::AnyCancellable statusLog = manager.statusSubject().sink(
        [this](Status s) { log.push_back(std::string(presence::name(s)) + "@" + seconds(main.elapsed())); });
    platform::AnyCancellable lockLog =
        manager.lockingSubject().sink([this](platform::Void) { log.push_back("lock@" + seconds(main.elapsed())); });

    void SetUp() override
    {
        backend.produceFrames(platform::seconds(1.0 / 30));
        main.runPending(); // the camera's set-up
        log.clear();
    }

    std::string seconds(double t) const
    {
        std::ostringstream out;
        out << std::round(t * 1000) / 1000;
        return out.str();
    }
    Log since(std::size_t from) const { return Log(log.begin() + static_cast<std::ptrdiff_t>(from), log.end()); }
    /// @brief Runs the oldest queued recognition job and what it posts back.
    void runJob()
    {
        ASSERT_FALSE(jobs.empty());
        auto job = std::move(jobs.front());
        jobs.pop_front();
        job();
        main.runPending();
    }
};

} // namespace faciward::testing
