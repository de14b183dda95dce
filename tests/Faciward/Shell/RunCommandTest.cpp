// `faciward run` as a program, end to end: a picture folder for a camera, the
// input devices assumed idle, the real models, a settings file and documents
// folder of the test's own. Real time cannot be avoided here; the settings keep
// each run short (a check 5 s after the start, a count-down of 2 s).
#include "Faciward/Settings/Keys.h"
#include "Platform/Settings/SettingsStore.h"
#include "SettingsStore/Prefs.h"
#include "bench/dim-light/DimFrames.h"
#include "tests/Faciward/Shell/FaciwardProcess.h"
#include "tests/Platform/Vision/VisionTestData.h"
#include "tests/support/FakeScreenSaver.h"
#include "tests/support/Guards.h"
#include "tests/support/PrivateSessionBus.h"
#include "tests/support/QtEventLoop.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include <sys/stat.h>

namespace fs = std::filesystem;
namespace ft = faciward::testing;
using faciward::prefs::Prefs;
using Lines = std::vector<std::string>;
namespace Keys = faciward::settings::Keys;

namespace {

const Lines checkBegins{"status: disabled", "status: idle",       "status: processing",
                        "status: processing", "status: processing", "status: processing"};
const Lines lockPathOfTwoSeconds{"status: disabled", "countdown: 2", "status: locking",
                                 "countdown: 1",     "countdown: 0", "lock signal"};

Lines concat(Lines a, const Lines &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The standard-error lines, without the one a machine without a session bus adds.
Lines problems(const std::string &err)
{
    Lines out;
    for (const auto &line : ft::lines(err))
        if (line.rfind("faciward: screen lock: ", 0) != 0)
            out.push_back(line);
    return out;
}

class RunCommandTest : public ::testing::Test
{
protected:
    ft::TempHome home; // HOME, documents folder and settings file of the children too
    ft::TempDir folders;
    fs::path owner = folders / "owner";
    fs::path stranger = folders / "stranger";

    void SetUp() override
    {
        // The first three pictures of one person are the owner's enrolment; the
        // others stand in for the camera, as do those of another person.
        const auto simm = sortedPictures("johns/John_Simm");
        const auto salley = sortedPictures("johns/John_Salley");
        ASSERT_EQ(simm.size(), 11u);
        fs::create_directories(owner);
        fs::create_directories(stranger);
        for (std::size_t i = 3; i < simm.size(); ++i)
            fs::create_symlink(simm[i], owner / fs::path(simm[i]).filename());
        for (const auto &p : salley)
            fs::create_symlink(p, stranger / fs::path(p).filename());
        const auto enrolled = ft::runFaciward({"enrol", simm[0], simm[1], simm[2]});
        ASSERT_EQ(enrolled.code, 0) << enrolled.err;
        ASSERT_EQ(enrolled.out, "enrolled 3 embeddings from 3 pictures\n");
        faciward::platform::SettingsStore::standard()->reload();
        ASSERT_TRUE(Prefs::set(Keys::inactivityTime(), std::int64_t(1)));
        ASSERT_TRUE(Prefs::set(Keys::locksComputerAfterRate(), std::int64_t(2)));
    }

    static std::vector<std::string> sortedPictures(const std::string &relative)
    {
        std::vector<std::string> out;
        for (const auto &entry : fs::directory_iterator(ft::developmentData() / relative))
            out.push_back(entry.path().string());
        std::sort(out.begin(), out.end());
        return out;
    }

    ft::FaciwardOutcome runOnce(const fs::path &camera)
    {
        return ft::runFaciward({"run", "--camera", camera.string(), "--assume-idle", "--once"});
    }
};

} // namespace

TEST_F(RunCommandTest, aStrangerGetsPictureCountDownAndLockSignal)
{
    ASSERT_TRUE(Prefs::set(Keys::takePictureWhenLockingScreen(), true));
    const auto run = runOnce(stranger);
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(problems(run.err), Lines{});
    auto out = ft::lines(run.out);
    ASSERT_EQ(out.size(), 13u) << run.out;
    // The picture's name is the time of the lock. It is written before the
    // count-down starts, and announced right after.
    const std::string folder = (home.documents() / "standard").string();
    std::smatch match;
    ASSERT_TRUE(std::regex_match(out[9], match,
                                 std::regex("picture: " + folder + "/(\\d{4}-\\d\\d-\\d\\d \\d\\d\\.\\d\\d\\.\\d\\d)\\.png")))
        << out[9];
    const std::string key = match[1];
    Lines expected = concat(checkBegins, lockPathOfTwoSeconds);
    expected.insert(expected.begin() + 9, "picture: " + folder + "/" + key + ".png");
    EXPECT_EQ(out, expected);

    struct stat st{};
    ASSERT_EQ(::stat((folder + "/" + key + ".png").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    faciward::platform::SettingsStore::standard()->reload();
    const auto history = Prefs::get(Keys::storedImages());
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].key, key);
}

TEST_F(RunCommandTest, theLockPictureIsTheFrameAsTheCameraGaveIt)
{
    // A dark frame is brightened for the face detector; the picture kept of
    // whoever sat there must still be the frame itself.
    ASSERT_TRUE(Prefs::set(Keys::takePictureWhenLockingScreen(), true));
    const fs::path dark = folders / "dark";
    fs::create_directories(dark);
    const auto salley = sortedPictures("johns/John_Salley");
    const cv::Mat frame = faciward::devdata::dimFrame(ft::webcamFrame(cv::imread(salley[0])), 1);
    ASSERT_LT(cv::mean(frame)[0], 60.0);
    ASSERT_TRUE(cv::imwrite((dark / "frame.png").string(), frame));

    const auto run = runOnce(dark);
    EXPECT_EQ(run.code, 0) << run.err;
    const auto out = ft::lines(run.out);
    ASSERT_EQ(out.size(), 13u) << run.out;
    const auto picture = std::find_if(out.begin(), out.end(), [](const std::string &line) {
        return line.rfind("picture: ", 0) == 0;
    });
    ASSERT_NE(picture, out.end()) << run.out;
    const cv::Mat stored = cv::imread(picture->substr(9), cv::IMREAD_UNCHANGED);
    ASSERT_EQ(stored.size(), frame.size());
    ASSERT_EQ(stored.type(), frame.type());
    EXPECT_EQ(cv::norm(stored, frame, cv::NORM_INF), 0.0);
}

TEST_F(RunCommandTest, settingsWrittenByAnotherProcessReachTheRunningEngine)
{
    // The first check finds the owner. Then this process, a stranger to the
    // runner, withdraws the enrolment; the owner path writes nothing, so only
    // the runner's watch on the settings file can tell it, and the next check
    // must then take the lock path.
    bool withdrawn = false;
    const Lines firstCheck = concat(checkBegins, {"status: idle"});
    const auto run = ft::runFaciward({"run", "--camera", owner.string(), "--assume-idle"}, std::chrono::seconds(60),
                                     [&](const std::string &out) {
                                         if (!withdrawn && ft::lines(out) == firstCheck)
                                             withdrawn = Prefs::set(Keys::embeddings(), {});
                                         return out.find("lock signal\n") != std::string::npos;
                                     });
    EXPECT_TRUE(withdrawn);
    EXPECT_EQ(run.code, 0) << run.err;
    const Lines secondCheck{"status: processing", "status: processing", "status: processing", "status: processing"};
    EXPECT_EQ(ft::lines(run.out), concat(concat(firstCheck, secondCheck), lockPathOfTwoSeconds));
}

TEST_F(RunCommandTest, withoutModelsEveryCheckTakesTheLockPath)
{
    ft::TempDir empty;
    ft::EnvGuard models("FACIWARD_MODEL_DIR", empty.path().string());
    const auto run = runOnce(owner);
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(problems(run.err),
              Lines{"faciward: cannot load the face models: model file missing: " + (empty / "fr_detect.onnx").string() +
                    "; every check counts as an absent owner until they can be loaded"});
    EXPECT_EQ(ft::lines(run.out), concat(checkBegins, lockPathOfTwoSeconds));
}

TEST_F(RunCommandTest, anUnwritableDocumentsFolderCostsThePictureNotTheLock)
{
    ASSERT_TRUE(Prefs::set(Keys::takePictureWhenLockingScreen(), true));
    std::ofstream(folders / "not-a-folder") << "x";
    ft::EnvGuard documents("XDG_DOCUMENTS_DIR", (folders / "not-a-folder").string());
    const auto run = runOnce(stranger);
    EXPECT_EQ(run.code, 0) << run.err;
    const auto errors = problems(run.err);
    ASSERT_EQ(errors.size(), 1u) << run.err;
    EXPECT_EQ(errors[0].rfind("faciward: the picture could not be stored: ", 0), 0u) << errors[0];
    EXPECT_NE(errors[0].find("not-a-folder"), std::string::npos) << errors[0];
    EXPECT_EQ(ft::lines(run.out), concat(checkBegins, lockPathOfTwoSeconds));
    faciward::platform::SettingsStore::standard()->reload();
    EXPECT_TRUE(Prefs::get(Keys::storedImages()).empty());
}

TEST_F(RunCommandTest, aCameraPathThatIsNotThereIsRefusedAtTheStart)
{
    // A typo would otherwise leave a guard that never checks anything.
    const auto run = runOnce(folders / "no-such-folder");
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "faciward: --camera " + (folders / "no-such-folder").string() + ": No such file or directory\n");
}

TEST_F(RunCommandTest, eventsThatCannotBeWrittenEndTheRunWithOne)
{
    // Whatever locks the session would never hear the lock signal: the runner
    // must not go on as if it could.
    for (const auto &[streams, cause] : std::vector<std::pair<ft::Streams, std::string>>{
             {ft::Streams::outputToFullDevice, "No space left on device"},
             {ft::Streams::outputToClosedPipe, "Broken pipe"}}) {
        const auto run = ft::runFaciward({"run", "--camera", owner.string(), "--assume-idle", "--once"},
                                         std::chrono::seconds(60), {}, streams);
        EXPECT_EQ(run.code, 1) << cause;
        EXPECT_EQ(problems(run.err),
                  Lines{"faciward: cannot write the events to standard output (" + cause + "); stopping"});
    }
}

TEST_F(RunCommandTest, closedStandardDescriptorsDoNotEndTheRun)
{
    // Started with descriptors 0 to 2 closed, the runner must not take its own
    // files for them (its signal pipe would turn every event line into SIGTERM).
    const auto start = std::chrono::steady_clock::now();
    const auto run = ft::runFaciward(
        {"run", "--camera", owner.string(), "--assume-idle"}, std::chrono::seconds(60),
        [&](const std::string &) { return std::chrono::steady_clock::now() - start > std::chrono::seconds(8); },
        ft::Streams::allClosed);
    EXPECT_TRUE(run.runningWhenStopped) << "it ended by itself, with " << run.code;
    EXPECT_EQ(run.code, 0);
}

TEST_F(RunCommandTest, aCameraThatDeliversNothingEndsTheCheckWithoutLocking)
{
    // A folder without pictures: the camera fails at every start. Ten seconds
    // after it was asked to start, the check ends without a verdict: back to
    // idle, the failure said once, no picture, no count-down, no lock.
    ASSERT_TRUE(Prefs::set(Keys::takePictureWhenLockingScreen(), true));
    const fs::path empty = folders / "empty";
    fs::create_directories(empty);
    const auto run = runOnce(empty);
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(problems(run.err),
              Lines{"faciward: camera: Cannot add video output to session (" + empty.string() +
                    ": no picture in the folder)"});
    EXPECT_EQ(ft::lines(run.out), (Lines{"status: disabled", "status: idle", "status: idle"}));
    faciward::platform::SettingsStore::standard()->reload();
    EXPECT_TRUE(Prefs::get(Keys::storedImages()).empty());
}

TEST_F(RunCommandTest, aCorruptSettingsFileIsCopiedAsideAndTheDefaultsRun)
{
    // The defaults: a check 10 s after the start, a count-down of 8 s, nobody enrolled.
    std::ofstream(home.settingsFile(), std::ios::trunc) << "{\"formatVersion\":1,\"values\":{\"inactivityTime\":";
    const auto run = runOnce(owner);
    EXPECT_EQ(run.code, 0) << run.err;
    const auto errors = problems(run.err);
    ASSERT_EQ(errors.size(), 2u) << run.err;
    EXPECT_EQ(errors[0].rfind("faciward: the settings file " + home.settingsFile().string() + " does not parse", 0), 0u)
        << errors[0];
    EXPECT_EQ(errors[1].rfind("faciward: no owner is enrolled", 0), 0u) << errors[1];
    EXPECT_EQ(ft::lines(run.out),
              concat(checkBegins, {"status: disabled", "countdown: 8", "status: locking", "countdown: 7",
                                   "countdown: 6", "countdown: 5", "countdown: 4", "countdown: 3", "countdown: 2",
                                   "countdown: 1", "countdown: 0", "lock signal"}));
    bool copied = false;
    for (const auto &entry : fs::directory_iterator(home.settingsFile().parent_path()))
        copied = copied || entry.path().filename().string().rfind("settings.json.corrupt-", 0) == 0;
    EXPECT_TRUE(copied);
}

TEST_F(RunCommandTest, theScreenLockStopsTrackingAndTheUnlockResumesIt)
{
    FACIWARD_REQUIRE_PROGRAM("dbus-daemon");
    FACIWARD_REQUIRE_PROGRAM("dbus-send");
    ft::PrivateSessionBus bus;
    ft::EnvGuard address("DBUS_SESSION_BUS_ADDRESS", bus.address());
    ASSERT_TRUE(Prefs::set(Keys::inactivityTime(), std::int64_t(3600)));
    std::size_t step = 0;
    const auto run = ft::runFaciward({"run", "--camera", owner.string(), "--assume-idle"}, std::chrono::seconds(60),
                                     [&](const std::string &out) {
                                         const auto seen = ft::lines(out);
                                         if (step == 0 && seen.size() == 2) {
                                             // Locked, announced by two desktop services: one stop.
                                             bus.sendSignal("/org/gnome/ScreenSaver",
                                                            "org.gnome.ScreenSaver.ActiveChanged", {"boolean:true"});
                                             bus.sendSignal("/org/freedesktop/ScreenSaver",
                                                            "org.freedesktop.ScreenSaver.ActiveChanged",
                                                            {"boolean:true"});
                                             step = 1;
                                         } else if (step == 1 && seen.size() == 3) {
                                             bus.sendSignal("/org/freedesktop/ScreenSaver",
                                                            "org.freedesktop.ScreenSaver.ActiveChanged",
                                                            {"boolean:false"});
                                             step = 2;
                                         }
                                         return seen.size() >= 4;
                                     });
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ft::lines(run.out), (Lines{"status: disabled", "status: idle", "status: disabled", "status: idle"}));
}

TEST_F(RunCommandTest, startedBehindALockedScreenItTracksFromTheUnlock)
{
    FACIWARD_REQUIRE_PROGRAM("dbus-daemon");
    FACIWARD_REQUIRE_PROGRAM("dbus-send");
    ft::coreApplication();
    ft::PrivateSessionBus bus;
    ft::EnvGuard address("DBUS_SESSION_BUS_ADDRESS", bus.address());
    const ft::FakeScreenSaver locked(bus.address(), "org.gnome.ScreenSaver", true);
    bool unlocked = false;
    const auto run =
        ft::runFaciward({"run", "--camera", owner.string(), "--assume-idle", "--once"}, std::chrono::seconds(60),
                        [&](const std::string &out) {
                            if (!unlocked && ft::lines(out) == Lines{"status: disabled"}) {
                                unlocked = bus.sendSignal("/org/gnome/ScreenSaver",
                                                          "org.gnome.ScreenSaver.ActiveChanged",
                                                          {"boolean:false"}) == 0;
                            }
                            return false;
                        });
    EXPECT_TRUE(unlocked);
    EXPECT_EQ(run.code, 0) << run.err;
    // Said right after the start, when tracking had not begun.
    EXPECT_EQ(ft::lines(run.err), Lines{"faciward: the screen is locked: tracking starts when it is unlocked"});
    EXPECT_EQ(ft::lines(run.out), concat(checkBegins, {"status: idle"}));
}
