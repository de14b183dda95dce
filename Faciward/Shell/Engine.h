#pragma once

#include "Faciward/Presence/Devices/CameraManagerCombine.h"
#include "Faciward/Presence/Devices/ScreenLockingStatusManager.h"
#include "Faciward/Presence/Devices/SharedCaptureBackend.h"
#include "Faciward/Presence/Locking/ImageStoreService.h"
#include "Faciward/Presence/Locking/LockingManager.h"
#include "Faciward/Presence/Recognition/RecognizerManager.h"
#include "Faciward/Shell/ReportingRecognizer.h"
#include "Faciward/Shell/ServiceFactory.h"
#include "Platform/Idle/IdleTimeSource.h"
#include "Platform/Reactive/OwnedPost.h"
#include "Platform/Reactive/PassthroughSubject.h"
#include "Platform/Runtime/SerialQueue.h"
#include "Platform/ScreenLock/ScreenLockSignals.h"

#include <filesystem>
#include <memory>
#include <string>

namespace faciward::shell {

/// @brief The locking engine wired to the devices it watches: the camera (as a
/// client of a shared capture back-end), the idle time, the screen-lock
/// signals, recognition on a worker thread of its own, and the picture store
/// of the service factory. The settings are the standard store's.
///
/// Made, used and destroyed on the main scheduler's thread. Nothing is tracked
/// until `lockingManager().start()`.
class Engine
{
public:
    /// @brief Every argument must outlive the engine; @p main must also outlive
    /// the recognition work still queued when the engine goes.
    Engine(platform::Scheduler &main, platform::CaptureBackend &capture, platform::IdleTimeSource &idleTime,
           platform::ScreenLockSignals &screenLockSignals, ServiceFactory &services = ServiceFactory::shared());
    /// @brief Stops the camera, then waits for the recognition already under way.
    ~Engine();
    Engine(const Engine &) = delete;
    Engine &operator=(const Engine &) = delete;

    presence::LockingManager &lockingManager() { return *m_manager; }
    presence::CameraManagerCombine &camera() { return m_camera; }
    const presence::ScreenLockingStatusManager &screenLock() const { return m_screenLock; }

    /// @brief Loads the face models on the recognition thread now, so that the
    /// first check does not wait for them. Failing is reported on `problems()`;
    /// each check then tries again and, failing, counts as an absent owner.
    void loadModels();

    /// @brief The file of every picture stored on the lock path, on the main
    /// thread. The picture is written before the lock count-down starts, and
    /// announced right after it started.
    const platform::PassthroughSubject<std::filesystem::path> &storedPictures() const { return m_storedPictures; }
    /// @brief One line for each problem the engine gets over on its own (models
    /// that cannot be loaded, frames that cannot be checked, pictures that
    /// cannot be stored), on the main thread.
    const platform::PassthroughSubject<std::string> &problems() const { return m_problems; }

private:
    // Hands a line from any thread to problems(), on the main thread.
    void report(std::string line);

    platform::Scheduler &m_main;
    platform::PassthroughSubject<std::filesystem::path> m_storedPictures;
    platform::PassthroughSubject<std::string> m_problems;
    presence::SharedCaptureBackend m_sharedCapture;
    const std::unique_ptr<platform::CaptureBackend> m_captureClient;
    presence::CameraManagerCombine m_camera;
    presence::ScreenLockingStatusManager m_screenLock;
    presence::RecognizerManager m_recognizerManager;
    ReportingRecognizer m_recognizer;
    const std::shared_ptr<presence::ImageStoreService> m_pictureStore;
    // Lines from the recognition thread are sent on the main loop while this lives.
    platform::OwnedPost m_post{m_main};
    // Destroyed after the manager and before everything its queued work uses.
    platform::SerialQueue m_recognitionQueue;
    std::unique_ptr<presence::LockingManager> m_manager;
};

} // namespace faciward::shell
