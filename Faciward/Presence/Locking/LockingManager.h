#pragma once

#include "Faciward/Presence/Locking/CountDown.h"
#include "Faciward/Settings/DisableTime.h"
#include "Platform/Reactive/AnyCancellable.h"
#include "Platform/Reactive/CurrentValueSubject.h"
#include "Platform/Reactive/OwnedPost.h"
#include "Platform/Reactive/PassthroughSubject.h"
#include "Platform/Reactive/Scheduler.h"
#include "Platform/Vision/Image.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace faciward::platform {
class IdleTimeSource;
}

namespace faciward::presence {

class CameraManagerCombine;
class FrameRecognizer;
class ScreenLockingStatusManager;

/// @brief The check cycle: watches the idle time, has five camera frames
/// recognised when the user has been idle long enough, and either goes back to
/// watching or runs the lock path (optional picture, a count-down, the lock
/// signal). Also keeps the disable periods and follows the screen lock.
///
/// Everything runs on the main scheduler's thread, except recognition, which
/// runs on the recognition queue, and the storing of the lock picture; their
/// results are handed back to the main scheduler before any state changes.
/// Each check carries the generation it began in: start, stop, disable and the
/// lock path begin a new one, and a verdict from an older generation changes
/// nothing but lastCheckCompleted(). So does a stored picture: the lock
/// count-down, which waits for it, does not start when a stop, a disable or a
/// screen lock came meanwhile.
class LockingManager
{
public:
    /// @brief The published states, in this order. The engine never sets `restarting`.
    enum class Status { idle, processing, disabled, restarting, locking };

    /// @brief Runs a job off the main thread, one job at a time.
    using Executor = std::function<void(std::function<void()>)>;
    /// @brief Stores the picture taken on the lock path under a key (picture
    /// name), off the main thread, and then calls `stored` on the main thread
    /// once the store has landed or failed. `stored` may be dropped, but must not
    /// be called after the manager is gone.
    using PictureStore =
        std::function<void(const platform::Image &, const std::string &key, std::function<void()> stored)>;

    /// @brief How often the idle time is compared with "inactivityTime".
    static constexpr std::chrono::seconds idleTimerInterval{5};
    /// @brief The least time between two frames of a check.
    static constexpr std::chrono::milliseconds frameInterval{600};
    /// @brief Frames per check.
    static constexpr std::size_t framesPerCheck = 5;
    /// @brief How long after starting the camera a check waits for its last frame.
    /// A check that gets too few frames ends without a verdict: the camera is
    /// stopped, the status goes back to `idle` (sent even when it was `idle`
    /// already), lastCheckCompleted() is set, and nothing is locked.
    static constexpr std::chrono::seconds collectionTimeout{10};

    /// @brief Subscribes to the screen-lock signals; tracks nothing until start().
    /// Every argument must outlive the manager; @p recognitionQueue must have run
    /// (or dropped) its jobs before @p recognizer goes away.
    LockingManager(platform::Scheduler &main, CameraManagerCombine &camera, const ScreenLockingStatusManager &screenLock,
                   platform::IdleTimeSource &idleTime, FrameRecognizer &recognizer, Executor recognitionQueue,
                   PictureStore storePicture);
    ~LockingManager();
    LockingManager(const LockingManager &) = delete;
    LockingManager &operator=(const LockingManager &) = delete;

    /// @brief Begins tracking. Without @p withForcing nothing happens while the
    /// screen is locked, and a stored disable period is honoured: one until
    /// tomorrow leaves everything as it is; a timed one arms disableTimer() with
    /// its remaining seconds and starts tracking when it ends.
    /// A start that begins tracking also cancels a running lock count-down.
    void start(bool withForcing);
    /// @brief Stops tracking: camera off, idle timer and restart count-down
    /// cancelled, status `disabled`.
    void stop();
    /// @brief Stops tracking and the lock count-down for @p minutes (State::time)
    /// or until the next local day (State::untilTomorrow; @p minutes is ignored),
    /// and stores the period under "DisableTime".
    void disable(std::uint64_t minutes, settings::DisableTime::State state);
    /// @brief The lock path: stops tracking, starts the lock count-down of
    /// "locksComputerAfterRate" seconds, status `locking`.
    void startLocking();

    Status status() const { return m_status; }
    /// @brief Sets and publishes a status decided by the shell (`disabled` after
    /// it locked the session, `locking` after it started the lock path).
    void setStatus(Status status);

    /// @brief Every status change, repeats included; starts with `disabled`.
    const platform::CurrentValueSubject<Status> &statusSubject() const { return m_statusSubject; }
    /// @brief Fires when a lock count-down reaches zero.
    const platform::PassthroughSubject<platform::Void> &lockingSubject() const { return m_lockingSubject; }

    CountDown &disableTimer() { return m_disableTimer; }
    CountDown &lockingCountDown() { return m_lockingCountDown; }
    /// @brief For the shell's restart popup; the engine only cancels it.
    CountDown &restartingCountDown() { return m_restartingCountDown; }

    /// @brief When the last check ended (monotonic clock); the creation time at first.
    platform::Scheduler::TimePoint lastCheckCompleted() const { return m_lastCheckCompleted; }

private:
    enum class Phase { watching, collecting, recognising, storingPicture };

    void publish(Status status);
    void check();
    void startCollection();
    void endCollection();
    void handleFrame(const platform::Image &frame);
    void runRecognition(std::vector<platform::Image> frames);
    void applyVerdict(std::uint64_t generation, bool ownerFound, const std::vector<platform::Image> &frames);
    void collectionTimedOut();
    void lockPath(const std::vector<platform::Image> &frames);
    void pictureStored(std::uint64_t generation);
    void lockingCountDownFinished();
    void disableTimerFinished();
    void newGeneration();

    platform::Scheduler &m_main;
    CameraManagerCombine &m_camera;
    const ScreenLockingStatusManager &m_screenLock;
    platform::IdleTimeSource &m_idleTime;
    FrameRecognizer &m_recognizer;
    Executor m_recognitionQueue;
    PictureStore m_storePicture;

    CountDown m_disableTimer;
    Status m_status = Status::disabled;
    platform::AnyCancellable m_idleTimer;
    platform::AnyCancellable m_restartingCancellable;
    platform::AnyCancellable m_lockingScreenCancellable;
    platform::AnyCancellable m_cameraFrameCancellable;
    platform::AnyCancellable m_collectionTimeout;
    std::vector<platform::Image> m_buffer;
    platform::Scheduler::TimePoint m_lastCheckCompleted;
    platform::CurrentValueSubject<Status> m_statusSubject{Status::disabled};
    platform::PassthroughSubject<platform::Void> m_lockingSubject;
    CountDown m_lockingCountDown;
    CountDown m_restartingCountDown;

    Phase m_phase = Phase::watching;
    std::uint64_t m_generation = 0;
    // Verdicts of the recognition queue reach the manager on the main loop while it lives.
    platform::OwnedPost m_post{m_main};
};

/// @brief The status as the runner prints it: "idle", "processing", "disabled",
/// "restarting" or "locking".
std::string_view name(LockingManager::Status status);

} // namespace faciward::presence
