#include "LockingManager.h"

#include "Faciward/Presence/Devices/CameraManagerCombine.h"
#include "Faciward/Presence/Devices/ScreenLockingStatusManager.h"
#include "Faciward/Presence/Locking/ImageStoreService.h"
#include "Faciward/Presence/Locking/RemainingDisableTime.h"
#include "Faciward/Presence/Recognition/FrameRecognizer.h"
#include "Faciward/Settings/Keys.h"
#include "Platform/Idle/IdleTimeSource.h"
#include "SettingsStore/Prefs.h"

#include <algorithm>
#include <limits>

namespace faciward::presence {

namespace {

constexpr auto oneSecond = std::chrono::seconds(1);

} // namespace

std::string_view name(LockingManager::Status status)
{
    switch (status) {
    case LockingManager::Status::idle:
        return "idle";
    case LockingManager::Status::processing:
        return "processing";
    case LockingManager::Status::disabled:
        return "disabled";
    case LockingManager::Status::restarting:
        return "restarting";
    case LockingManager::Status::locking:
        return "locking";
    }
    return "unknown";
}

LockingManager::LockingManager(platform::Scheduler &main, CameraManagerCombine &camera,
                               const ScreenLockingStatusManager &screenLock, platform::IdleTimeSource &idleTime,
                               FrameRecognizer &recognizer, Executor recognitionQueue, PictureStore storePicture)
    : m_main(main)
    , m_camera(camera)
    , m_screenLock(screenLock)
    , m_idleTime(idleTime)
    , m_recognizer(recognizer)
    , m_recognitionQueue(std::move(recognitionQueue))
    , m_storePicture(std::move(storePicture))
    , m_disableTimer(main)
    , m_lastCheckCompleted(main.now())
    , m_lockingCountDown(main)
    , m_restartingCountDown(main)
{
    m_restartingCancellable = screenLock.screenUnlockedSubject().sink([this](platform::Void) { start(false); });
    m_lockingScreenCancellable = screenLock.screenLockedSubject().sink([this](platform::Void) { stop(); });
}

LockingManager::~LockingManager()
{
    if (m_phase == Phase::collecting)
        m_camera.stopRunning();
}

void LockingManager::publish(Status status)
{
    m_status = status;
    m_statusSubject.send(status);
}

void LockingManager::setStatus(Status status)
{
    publish(status);
}

void LockingManager::newGeneration()
{
    // Whatever check was under way no longer counts.
    ++m_generation;
    if (m_phase == Phase::collecting)
        endCollection();
    m_phase = Phase::watching;
    m_buffer.clear();
}

void LockingManager::start(bool withForcing)
{
    if (!withForcing) {
        // Behind a locked screen nobody is there to watch, and the check would
        // only lock a locked session; the unlock starts tracking.
        if (m_screenLock.isScreenLocked())
            return;
        const auto remaining = RemainingDisableTime::evaluate(prefs::Prefs::get(settings::Keys::disableTime()),
                                                              m_main.wallNow());
        switch (remaining.kind) {
        case RemainingDisableTime::Kind::noPeriod:
            break;
        case RemainingDisableTime::Kind::inForce:
            return;
        case RemainingDisableTime::Kind::secondsRemain:
            m_disableTimer.start(remaining.seconds, oneSecond, [this] { disableTimerFinished(); });
            return;
        }
    }
    newGeneration();
    // Tracking anew ends an earlier lock path: after the user unlocked the
    // screen, its count-down must not lock the session again.
    m_lockingCountDown.cancel();
    publish(Status::idle);
    // One idle timer, however often tracking is started. It has no tolerance:
    // Qt's coarse timers, which any tolerance would choose, fire up to 5 % early
    // as well as late, and a tick may come late but never before its 5 s. One
    // precise wake-up every 5 s costs nothing worth coalescing.
    m_idleTimer = m_main.repeatEvery(idleTimerInterval, [this] { check(); });
    m_disableTimer.cancel();
    prefs::Prefs::set(settings::Keys::disableTime(), std::optional<settings::DisableTime>());
}

void LockingManager::stop()
{
    m_camera.stopRunning();
    newGeneration();
    m_idleTimer.cancel();
    m_restartingCountDown.cancel();
    publish(Status::disabled);
}

void LockingManager::disable(std::uint64_t minutes, settings::DisableTime::State state)
{
    stop();
    // A lock count-down under way would otherwise still lock the session.
    m_lockingCountDown.cancel();
    m_disableTimer.cancel();
    prefs::Prefs::set(settings::Keys::disableTime(), std::optional<settings::DisableTime>());
    const bool timed = state == settings::DisableTime::State::time;
    if (timed) {
        const std::uint64_t limit = std::numeric_limits<std::uint64_t>::max() / 60;
        m_disableTimer.start(std::min(minutes, limit) * 60, oneSecond, [this] { disableTimerFinished(); });
    }
    settings::DisableTime period;
    period.startDate = m_main.wallNow();
    if (timed)
        period.duration = static_cast<std::int64_t>(std::min<std::uint64_t>(minutes, std::numeric_limits<std::int64_t>::max()));
    period.state = state;
    prefs::Prefs::set(settings::Keys::disableTime(), std::optional<settings::DisableTime>(period));
}

void LockingManager::startLocking()
{
    stop();
    // The settings offer 2 to 14 seconds; a stored negative value must not
    // become an endless count-down.
    const auto seconds = std::max<std::int64_t>(prefs::Prefs::get(settings::Keys::locksComputerAfterRate()), 0);
    m_lockingCountDown.start(static_cast<std::uint64_t>(seconds), oneSecond, [this] { lockingCountDownFinished(); });
    publish(Status::locking);
}

void LockingManager::lockingCountDownFinished()
{
    m_lockingSubject.send({});
}

void LockingManager::disableTimerFinished()
{
    prefs::Prefs::set(settings::Keys::disableTime(), std::optional<settings::DisableTime>());
    start(true);
}

void LockingManager::check()
{
    // One check at a time: the camera is already off while frames are recognised.
    if (m_phase != Phase::watching)
        return;
    const auto idle = m_idleTime.idleTime();
    if (!idle)
        return;
    const double threshold = static_cast<double>(prefs::Prefs::get(settings::Keys::inactivityTime()));
    const double sinceLastCheck = std::chrono::duration<double>(m_main.now() - m_lastCheckCompleted).count();
    if (idle->count() > threshold && sinceLastCheck > threshold && !m_camera.isRunning())
        startCollection();
}

void LockingManager::startCollection()
{
    m_phase = Phase::collecting;
    m_buffer.clear();
    // A fresh subscription is a fresh throttle: frames of an earlier collection
    // never reach this one.
    m_cameraFrameCancellable = m_camera.cameraFrameSubject()
                                   .publisher()
                                   .throttle(m_main, frameInterval, true)
                                   .sink([this](const platform::Image &frame) { handleFrame(frame); });
    m_camera.startRunning();
    m_collectionTimeout = m_main.postAfter(collectionTimeout, [this] { collectionTimedOut(); });
}

void LockingManager::endCollection()
{
    m_camera.stopRunning();
    m_cameraFrameCancellable.cancel();
    m_collectionTimeout.cancel();
}

void LockingManager::handleFrame(const platform::Image &frame)
{
    if (m_phase != Phase::collecting)
        return;
    if (m_status != Status::idle && m_status != Status::processing)
        return;
    if (m_buffer.size() >= framesPerCheck)
        return;
    m_buffer.push_back(frame);
    if (m_buffer.size() < framesPerCheck) {
        if (m_camera.isRunning())
            publish(Status::processing);
        return;
    }
    endCollection();
    m_phase = Phase::recognising;
    runRecognition(std::exchange(m_buffer, {}));
}

void LockingManager::runRecognition(std::vector<platform::Image> frames)
{
    FrameRecognizer *recognizer = &m_recognizer;
    const std::uint64_t generation = m_generation;
    // The work runs on the queue's thread and may outlive the manager: it touches
    // the manager only through the poster, on the main loop.
    m_recognitionQueue([this, post = m_post.poster(), recognizer, generation, frames = std::move(frames)]() mutable {
        bool ownerFound = false;
        try {
            if (!recognizer->hasModel())
                recognizer->loadModel();
            const auto results = recognizer->recognize(frames);
            ownerFound = std::find(results.begin(), results.end(), true) != results.end();
        } catch (...) {
            // A model that cannot be loaded, or a check that fails, counts as an absent owner.
            ownerFound = false;
        }
        post([this, generation, ownerFound, frames = std::move(frames)] {
            applyVerdict(generation, ownerFound, frames);
        });
    });
}

void LockingManager::applyVerdict(std::uint64_t generation, bool ownerFound,
                                  const std::vector<platform::Image> &frames)
{
    m_lastCheckCompleted = m_main.now();
    if (generation != m_generation || m_phase != Phase::recognising)
        return;
    m_phase = Phase::watching;
    if (ownerFound)
        publish(Status::idle);
    else
        lockPath(frames);
}

void LockingManager::collectionTimedOut()
{
    // No fifth frame: the camera is busy (a video call holds it), gone or failing.
    // Without frames there is no verdict, and locking the session on every
    // check while another program holds the camera would punish the owner for
    // it; the camera's own error reports the failure. Tracking goes on, and the
    // next check tries the camera again once "inactivityTime" has passed.
    endCollection();
    m_buffer.clear();
    m_phase = Phase::watching;
    m_lastCheckCompleted = m_main.now();
    publish(Status::idle);
}

void LockingManager::lockPath(const std::vector<platform::Image> &frames)
{
    if (frames.empty() || !m_storePicture || !prefs::Prefs::get(settings::Keys::takePictureWhenLockingScreen())) {
        startLocking();
        return;
    }
    // The picture lands before the count-down starts. Encoding and writing it
    // take tens of milliseconds, more on a slow disk, so they happen off the
    // main loop while the check stays `processing`.
    m_phase = Phase::storingPicture;
    m_storePicture(frames.back(), ImageStoreService::pictureKey(m_main.wallNow()),
                   [this, generation = m_generation] { pictureStored(generation); });
}

void LockingManager::pictureStored(std::uint64_t generation)
{
    if (generation != m_generation || m_phase != Phase::storingPicture)
        return;
    m_phase = Phase::watching;
    startLocking();
}

} // namespace faciward::presence
