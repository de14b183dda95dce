#include "Engine.h"

namespace faciward::shell {

Engine::Engine(platform::Scheduler &main, platform::CaptureBackend &capture, platform::IdleTimeSource &idleTime,
               platform::ScreenLockSignals &screenLockSignals, ServiceFactory &services)
    : m_main(main)
    , m_sharedCapture(capture)
    , m_captureClient(m_sharedCapture.client())
    , m_camera(main, *m_captureClient)
    , m_screenLock(screenLockSignals)
    , m_recognizer(m_recognizerManager, [this](const std::string &line) { report(line); })
    , m_pictureStore(services.imageStoreService())
    , m_recognitionQueue("recognition")
{
    m_manager = std::make_unique<presence::LockingManager>(
        main, m_camera, m_screenLock, idleTime, m_recognizer,
        [this](std::function<void()> job) { m_recognitionQueue.async(std::move(job)); },
        [this](const platform::Image &picture, const std::string &key, std::function<void()> stored) {
            // Encoding and writing (with its two fsyncs) would hold up timers and
            // bus signals on the main loop. The recognition thread is free: this
            // check's recognition is over, and no check starts before the lock path.
            m_recognitionQueue.async([this, picture, key, stored = std::move(stored)] {
                const auto item = m_pictureStore->store(picture, key, [this](const std::string &line) {
                    report("the picture could not be stored: " + line);
                });
                m_post([this, item, stored] {
                    // The count-down starts first: the picture is news of the lock path it began.
                    stored();
                    if (item)
                        m_storedPictures.send(presence::ImageStoreService::pictureFile(*item));
                });
            });
        });
}

Engine::~Engine()
{
    // The manager first: it stops the camera and drops a verdict still to come.
    // The recognition queue then finishes its work before the members that
    // work uses go.
    m_manager.reset();
}

void Engine::loadModels()
{
    m_recognitionQueue.async([this] {
        if (m_recognizer.hasModel())
            return;
        try {
            m_recognizer.loadModel();
        } catch (const std::exception &e) {
            report(std::string("cannot load the face models: ") + e.what() +
                   "; every check counts as an absent owner until they can be loaded");
        }
    });
}

void Engine::report(std::string line)
{
    m_post([this, line = std::move(line)] { m_problems.send(line); });
}

} // namespace faciward::shell
