// faciward run [--camera DEVICE|VIDEO|FOLDER] [--assume-idle] [--once]
//
// Runs the check cycle on the real platform layer until SIGINT or SIGTERM:
// the camera (the first V4L2 camera, or the device, video file or picture
// folder given), the idle time of the input devices (or, with --assume-idle,
// input devices taken to be untouched since the start), the desktop's
// screen-lock signals on the session bus, the stored settings and the picture
// history. Tracking starts as the application would start it: a stored
// disable period is honoured, and behind a locked screen tracking waits for
// the unlock.
//
// Standard output carries one line per event, and nothing else:
//   status: idle|processing|disabled|restarting|locking
//       every value the engine's status subject sends, repeats included; the
//       first line is the value a new subscriber hears at once ("disabled");
//   countdown: N     every value of the lock count-down: its start count, then
//                    one line a second down to 0;
//   picture: PATH    a picture of the lock path was stored in PATH (written
//                    before the count-down starts, said right after it started);
//   lock signal      the lock count-down ended: the session should be locked.
// Locking the session is left to the desktop; for instance
//   faciward run | while read -r l; do [ "$l" = "lock signal" ] && loginctl lock-session; done
//
// --once exits after the first check has played out: when the engine is back
// in `idle` after it (the owner was found, or the camera gave too few frames
// for a verdict), or after the lock signal.
//
// Problems the engine gets over (no camera, no models, a picture that cannot be
// stored, a frame that cannot be checked, unknown idle time) are one line each
// on standard error, and the engine goes on. Exit code 0 after --once or a
// signal, 1 when the runner cannot start or an event line cannot be written,
// 2 for a wrong command line.

#include "Faciward/Shell/AssumedIdleTimeSource.h"
#include "Faciward/Shell/Command.h"
#include "Faciward/Shell/Engine.h"
#include "Platform/Capture/CaptureSession.h"
#include "Platform/Error/ErrnoText.h"
#include "Platform/Idle/IdleTimeSourceChooser.h"
#include "Platform/Runtime/QtScheduler.h"
#include "Platform/Runtime/QuitSignals.h"
#include "Platform/ScreenLock/DBusScreenLockSignals.h"
#include "Platform/Settings/SettingsFileWatcher.h"
#include "Platform/Settings/SettingsStore.h"

#include <QCoreApplication>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <optional>
#include <sys/stat.h>
#include <system_error>

namespace faciward::shell {

namespace {

using presence::LockingManager;

struct Options
{
    std::optional<std::string> camera;
    bool assumeIdle = false;
    bool once = false;
};

std::optional<Options> parse(const std::vector<std::string> &arguments)
{
    Options options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        // An option never serves as another's value: "--camera --once" lacks its path.
        if (argument == "--camera" && !options.camera && i + 1 < arguments.size() && !arguments[i + 1].empty() &&
            arguments[i + 1].front() != '-') {
            options.camera = arguments[++i];
        } else if (argument == "--assume-idle" && !options.assumeIdle) {
            options.assumeIdle = true;
        } else if (argument == "--once" && !options.once) {
            options.once = true;
        } else {
            complain(argument == "--camera" || argument == "--assume-idle" || argument == "--once"
                         ? "\"" + argument + "\" is given twice or lacks its value"
                         : "unknown argument \"" + argument + "\"");
            return std::nullopt;
        }
    }
    return options;
}

// Set once an event line could not be written.
bool outputLost = false;

// One event line on standard output, at once: readers follow the events as they come.
// A line that cannot be written ends the runner with exit code 1: whatever
// locks the session would never hear the lock signal, and a supervisor that
// sees the guard end can start it again.
void emit(const std::string &line)
{
    if (outputLost)
        return;
    errno = 0;
    if (std::fputs(line.c_str(), stdout) >= 0 && std::fputc('\n', stdout) != EOF && std::fflush(stdout) == 0)
        return;
    const int error = errno;
    outputLost = true;
    complain(std::string("cannot write the events to standard output") +
             (error ? std::string(" (") + platform::errnoText(error) + ")" : "") + "; stopping");
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { QCoreApplication::exit(exitFailure); }, Qt::QueuedConnection);
}

// How long the teardown after a signal may take. A thread stuck in a device
// (a driver that never answers a read) or in loading the models would
// otherwise keep the process alive long after it was asked to end. Leaving
// without waiting loses nothing: standard output is flushed after each line,
// and every file the runner writes is replaced atomically.
constexpr auto teardownLimit = std::chrono::milliseconds(1500);

std::unique_ptr<platform::IdleTimeSource> idleTimeSource(const Options &options, const platform::Scheduler &main)
{
    if (options.assumeIdle)
        return std::make_unique<AssumedIdleTimeSource>(main);
    return platform::IdleTimeSourceChooser::system(
               "no check will switch the camera on (--assume-idle treats the input devices as idle)")
        .source;
}

platform::CaptureSession::DeviceList deviceList(const Options &options)
{
    if (!options.camera)
        return {};
    const auto device = platform::CaptureDevice::fromPath(*options.camera);
    return [device] { return std::vector<platform::CaptureDevice>{device}; };
}

// Says why nothing happens when a locked screen or a stored disable period kept tracking off.
void explainDisabledStart(Engine &engine)
{
    LockingManager &manager = engine.lockingManager();
    if (manager.status() != LockingManager::Status::disabled)
        return;
    if (engine.screenLock().isScreenLocked())
        complain("the screen is locked: tracking starts when it is unlocked");
    else if (manager.disableTimer().isRunning())
        complain("tracking is disabled for " + std::to_string(manager.disableTimer().count()) +
                 " more seconds by the stored disable period");
    else
        complain("tracking is disabled until tomorrow by the stored disable period");
}

int run(const std::vector<std::string> &arguments)
{
    const auto options = parse(arguments);
    if (!options)
        return exitUsage;
    if (options->camera) {
        try {
            // A path that is not there (a typo, say) would leave a guard that
            // never checks anything. A device that is there but busy is not
            // refused: each check reports it.
            struct stat status{};
            if (::stat(options->camera->c_str(), &status) != 0)
                throw platform::CaptureException::fromErrno(errno, *options->camera);
            platform::CaptureDevice::checkKind(*options->camera);
        } catch (const platform::CaptureException &e) {
            complain(std::string("--camera ") + e.what());
            return exitFailure;
        }
    }

    std::optional<platform::QuitSignals> quitSignals;
    try {
        quitSignals.emplace();
    } catch (const std::system_error &e) {
        complain("cannot watch for SIGINT and SIGTERM: " + e.code().message());
        return exitFailure;
    }
    static int argc = 1;
    static char programName[] = "faciward";
    static char *argv[] = {programName, nullptr};
    QCoreApplication application(argc, argv);
    quitSignals->watch(teardownLimit);

    platform::QtScheduler main;
    // Another process (an enrolment, a preferences change) may write the
    // settings while the engine runs; take its writes in as they land.
    platform::SettingsFileWatcher settingsWatcher(platform::SettingsStore::standard(), main);
    platform::CaptureSession capture(main, deviceList(*options));
    const auto idleTime = idleTimeSource(*options, main);
    platform::DBusScreenLockSignals screenLockSignals;
    Engine engine(main, capture, *idleTime, screenLockSignals);
    LockingManager &manager = engine.lockingManager();

    const auto quitSoon = [] {
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
    };
    const auto madeAt = manager.lastCheckCompleted();
    platform::CancellableSet subscriptions;
    manager.statusSubject()
        .sink([&](LockingManager::Status status) {
            emit("status: " + std::string(presence::name(status)));
            // Idle once a check has ended: the owner was there, or the camera
            // could not deliver.
            if (options->once && status == LockingManager::Status::idle && manager.lastCheckCompleted() != madeAt)
                quitSoon();
        })
        .store(subscriptions);
    manager.lockingCountDown()
        .publisher()
        .sink([](std::uint64_t count) { emit("countdown: " + std::to_string(count)); })
        .store(subscriptions);
    manager.lockingSubject()
        .sink([&](platform::Void) {
            emit("lock signal");
            if (options->once)
                quitSoon();
        })
        .store(subscriptions);
    engine.storedPictures()
        .sink([](const std::filesystem::path &file) { emit("picture: " + printable(file.string())); })
        .store(subscriptions);
    engine.problems().sink([](const std::string &line) { complain(line); }).store(subscriptions);
    engine.camera()
        .cameraErrorSubject()
        .sink([](const presence::CameraException &error) {
            complain(std::string("camera: ") + error.what() + (error.cause().empty() ? "" : " (" + error.cause() + ")"));
        })
        .store(subscriptions);

    complainIfNobodyCanBeTheOwner();
    engine.loadModels();
    manager.start(false);
    explainDisabledStart(engine);
    return application.exec() == 0 ? exitSuccess : exitFailure;
}

constexpr std::string_view details =
    "Runs the check cycle until SIGINT or SIGTERM: when the input devices have been idle\n"
    "for \"inactivityTime\", the camera takes five frames and the faces are compared with\n"
    "the enrolled ones; when the owner is absent, a count-down of \"locksComputerAfterRate\"\n"
    "seconds ends in \"lock signal\". Standard output carries one line per event:\n"
    "\"status: STATUS\", \"countdown: N\", \"picture: PATH\" and \"lock signal\".\n"
    "\n"
    "  --camera PATH   a V4L2 device, a video file or a folder of pictures (default: the\n"
    "                  first V4L2 camera)\n"
    "  --assume-idle   take the input devices as untouched since the start\n"
    "  --once          exit after the first check has played out\n"
    "\n"
    "Exit codes: 0 after --once or a signal, 1 the runner cannot start or an event line\n"
    "cannot be written, 2 a wrong command line.\n";

} // namespace

Command runCommand()
{
    return {"run", "[--camera DEVICE|VIDEO|FOLDER] [--assume-idle] [--once]",
            "runs the check cycle and prints each event, until SIGINT or SIGTERM", details, run};
}

} // namespace faciward::shell
