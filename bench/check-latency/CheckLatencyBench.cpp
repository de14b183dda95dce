// The check cycle's latency, end to end in one process: the engine of the
// runner on the Qt loop, a picture folder for a camera, the real models.
//
// Prints one JSON object per line:
//   start_to_verdict_ms_{median,max}_{owner,stranger}: from the engine's
//       CameraManagerCombine::startRunning() (the capture back-end's start) to
//       the verdict (the time the engine records as the end of the check);
//       the throttle alone accounts for 2400 ms of it;
//   recognition_ms_{median,max}: from the camera's stop on the fifth frame to
//       the verdict: recognition of the five frames and the hand-back to the loop.
//
// Usage: check_latency_bench [--checks N]   (N checks of each kind, default 5;
// one check every 5 s, the idle timer's period)
#include "Faciward/Settings/Keys.h"
#include "Faciward/Shell/AssumedIdleTimeSource.h"
#include "Faciward/Shell/Engine.h"
#include "Faciward/Shell/ServiceFactory.h"
#include "Platform/Capture/CaptureSession.h"
#include "Platform/Reactive/PassthroughSubject.h"
#include "Platform/Runtime/QtScheduler.h"
#include "SettingsStore/Prefs.h"
#include "bench/recognition/DevelopmentSet.h"

#include <QCoreApplication>
#include <QTimer>

#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;
using namespace faciward;
using presence::LockingManager;
using Clock = std::chrono::steady_clock;

namespace {

// Forwards to the real capture back-end and notes when the engine starts and stops it.
class TimedCapture final : public platform::CaptureBackend
{
public:
    explicit TimedCapture(platform::CaptureBackend &real)
        : m_real(real)
    {
    }

    Clock::time_point started() const { return m_started; }
    Clock::time_point stopped() const { return m_stopped; }

    std::vector<platform::CaptureDevice> devices() const override { return m_real.devices(); }
    platform::CaptureAuthorization authorization(const platform::CaptureDevice &d) const override
    {
        return m_real.authorization(d);
    }
    void select(const platform::CaptureDevice &d) override { m_real.select(d); }
    std::optional<platform::CaptureDevice> selected() const override { return m_real.selected(); }
    void start() override
    {
        if (!m_real.isRunning())
            m_started = Clock::now();
        m_real.start();
    }
    void stop() override
    {
        if (m_real.isRunning())
            m_stopped = Clock::now();
        m_real.stop();
    }
    bool isRunning() const override { return m_real.isRunning(); }
    platform::Publisher<cv::Mat> frames() const override { return m_real.frames(); }
    platform::Publisher<platform::CaptureException> failures() const override { return m_real.failures(); }

private:
    platform::CaptureBackend &m_real;
    Clock::time_point m_started{};
    Clock::time_point m_stopped{};
};

// No screen lock during the measurement.
class SilentScreenLock final : public platform::ScreenLockSignals
{
public:
    platform::Publisher<bool> activeChanged() const override { return m_subject.publisher(); }
    std::optional<bool> initialActive() const override { return false; }

private:
    platform::PassthroughSubject<bool> m_subject;
};

void print(const std::string &metric, double value, const char *unit)
{
    std::printf("{\"bench\":\"check-latency\",\"metric\":\"%s\",\"value\":%.1f,\"unit\":\"%s\"}\n", metric.c_str(),
                value, unit);
    std::fflush(stdout);
}

void printSpread(const std::string &metric, std::vector<double> samples)
{
    if (samples.empty())
        return;
    std::sort(samples.begin(), samples.end());
    print(metric + "_median", samples[samples.size() / 2], "ms");
    print(metric + "_max", samples.back(), "ms");
}

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

int main(int argc, char **argv)
{
    int checks = 5;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--checks" && i + 1 < argc) {
            checks = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: check_latency_bench [--checks N]\n");
            return 2;
        }
    }

    // Settings and pictures of the bench's own.
    const fs::path dir = fs::temp_directory_path() / ("faciward-check-latency-" + std::to_string(::getpid()));
    fs::create_directories(dir / "owner");
    fs::create_directories(dir / "stranger");
    ::setenv("FACIWARD_SETTINGS_FILE", (dir / "settings.json").c_str(), 1);
    ::setenv("XDG_DOCUMENTS_DIR", (dir / "Documents").c_str(), 1);

    const auto people = devdata::identitySet(FACIWARD_DEV_DATA_DIR);
    const auto &owner = people.at(4).pictures;    // John Simm
    const auto &stranger = people.at(0).pictures; // John Salley
    for (std::size_t i = 3; i < owner.size(); ++i)
        fs::create_symlink(owner[i], dir / "owner" / owner[i].filename());
    for (const auto &p : stranger)
        fs::create_symlink(p, dir / "stranger" / p.filename());

    QCoreApplication app(argc, argv);
    platform::QtScheduler main;
    const platform::CaptureDevice ownerCamera{platform::CaptureDevice::Kind::imageFolder, dir / "owner", "owner"};
    const platform::CaptureDevice strangerCamera{platform::CaptureDevice::Kind::imageFolder, dir / "stranger",
                                                 "stranger"};
    platform::CaptureSession session(main, [&] { return std::vector{ownerCamera, strangerCamera}; });
    TimedCapture capture(session);
    shell::AssumedIdleTimeSource idle(main);
    SilentScreenLock screenLock;
    shell::ServiceFactory services;
    int code = 0;
    {
        shell::Engine engine(main, capture, idle, screenLock, services);
        presence::RecognizerManager enrolment;
        enrolment.loadModel();
        std::vector<platform::Image> enrolmentPictures;
        for (std::size_t i = 0; i < 3; ++i)
            enrolmentPictures.push_back(cv::imread(owner[i].string()));
        prefs::Prefs::set(settings::Keys::embeddings(), enrolment.embeddings(enrolmentPictures));
        prefs::Prefs::set(settings::Keys::inactivityTime(), std::int64_t(1));
        prefs::Prefs::set(settings::Keys::locksComputerAfterRate(), std::int64_t(1));
        engine.loadModels();

        LockingManager &manager = engine.lockingManager();
        std::vector<double> ownerLatency, strangerLatency, recognition;
        bool strangerPhase = false;
        std::optional<LockingManager::Status> previous;
        auto problems = engine.problems().sink([](const std::string &line) { std::fprintf(stderr, "%s\n", line.c_str()); });
        auto verdicts = manager.statusSubject().sink([&](LockingManager::Status status) {
            const bool ownerVerdict = status == LockingManager::Status::idle && previous == LockingManager::Status::processing;
            const bool strangerVerdict = status == LockingManager::Status::locking;
            previous = status;
            if (!ownerVerdict && !strangerVerdict)
                return;
            if (ownerVerdict == strangerPhase) {
                std::fprintf(stderr, "check-latency: unexpected verdict: %s\n", ownerVerdict ? "owner" : "stranger");
                code = 1;
            }
            const auto end = manager.lastCheckCompleted();
            (strangerPhase ? strangerLatency : ownerLatency).push_back(ms(end - capture.started()));
            recognition.push_back(ms(end - capture.stopped()));
            // Not from inside the status publication: the next step publishes too.
            main.post([&] {
                if (!strangerPhase && int(ownerLatency.size()) == checks) {
                    strangerPhase = true;
                    engine.camera().selectCamera(strangerCamera);
                }
                if (strangerPhase && int(strangerLatency.size()) == checks)
                    QCoreApplication::quit();
                else if (strangerPhase)
                    manager.start(true); // tracking again after the lock path
            });
        });
        manager.start(true);
        // A safety net: 2 × checks of one idle-timer period each, plus slack.
        QTimer::singleShot(std::chrono::seconds(10 * checks + 30), &app, [&] {
            std::fprintf(stderr, "check-latency: timed out\n");
            code = 1;
            QCoreApplication::quit();
        });
        app.exec();
        printSpread("start_to_verdict_ms_owner", ownerLatency);
        printSpread("start_to_verdict_ms_stranger", strangerLatency);
        printSpread("recognition_ms", recognition);
    }
    fs::remove_all(dir);
    return code;
}
