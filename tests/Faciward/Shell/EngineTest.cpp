// The engine as the runner wires it, on virtual time, with its real worker
// thread: recognition (without models, so every check is an absent owner) and
// the storing of the lock picture.
#include "Faciward/Settings/Keys.h"
#include "Faciward/Shell/Engine.h"
#include "SettingsStore/Prefs.h"
#include "tests/support/FakeCaptureBackend.h"
#include "tests/support/FakeIdleTimeSource.h"
#include "tests/support/FakeScreenLockSignals.h"
#include "tests/support/Guards.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/VirtualScheduler.h"

#include <gtest/gtest.h>

namespace ft = faciward::testing;
using faciward::presence::LockingManager;
using faciward::prefs::Prefs;
namespace Keys = faciward::settings::Keys;

TEST(Engine, theLockPictureIsWrittenOnTheWorkerAndAnnouncedOnceTheCountDownStarted)
{
    ft::TempHome home;
    ft::TempDir noModels;
    ft::EnvGuard models("FACIWARD_MODEL_DIR", noModels.path().string());
    ASSERT_TRUE(Prefs::set(Keys::takePictureWhenLockingScreen(), true));
    ft::VirtualScheduler main;
    ft::FakeCaptureBackend backend(main);
    backend.produceFrames(faciward::platform::seconds(1.0 / 30));
    ft::FakeIdleTimeSource idle(ft::FakeIdleTimeSource::Seconds(60));
    ft::FakeScreenLockSignals signals;
    faciward::shell::ServiceFactory services;
    faciward::shell::Engine engine(main, backend, idle, signals, services);
    LockingManager &manager = engine.lockingManager();

    std::vector<std::string> events;
    faciward::platform::CancellableSet subscriptions;
    manager.statusSubject()
        .sink([&](LockingManager::Status s) { events.push_back(std::string(faciward::presence::name(s))); })
        .store(subscriptions);
    manager.lockingCountDown()
        .publisher()
        .sink([&](std::uint64_t n) { events.push_back("countdown: " + std::to_string(n)); })
        .store(subscriptions);
    engine.storedPictures()
        .sink([&](const std::filesystem::path &file) { events.push_back("picture: " + file.filename().string()); })
        .store(subscriptions);
    engine.problems().sink([](const std::string &) {}).store(subscriptions);

    main.runPending(); // the camera's set-up
    manager.start(true);
    main.advanceBy(13.0); // the fifth frame at 12.433 s goes to recognition on the worker
    ASSERT_TRUE(ft::pumpUntil(main, [&] { return !events.empty() && events.back().rfind("picture: ", 0) == 0; }));
    ASSERT_GE(events.size(), 4u);
    const std::vector<std::string> tail(events.end() - 4, events.end());
    EXPECT_EQ(tail[0], "disabled");
    EXPECT_EQ(tail[1], "countdown: 8");
    EXPECT_EQ(tail[2], "locking");
    const auto history = Prefs::get(Keys::storedImages());
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(tail[3], "picture: " + history[0].key + ".png");
    EXPECT_TRUE(std::filesystem::exists(home.documents() / "standard" / (history[0].key + ".png")));
    EXPECT_EQ(std::count(events.begin(), events.end(), "processing"), 4);
}
