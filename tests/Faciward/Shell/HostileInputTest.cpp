// Hostile input to the runner as a program: pictures that are damaged, too
// large, not files or named to forge output, and a camera that is a FIFO.
#include "Faciward/Settings/Keys.h"
#include "SettingsStore/Prefs.h"
#include "tests/Faciward/Shell/FaciwardProcess.h"
#include "tests/Platform/Vision/VisionTestData.h"
#include "tests/support/CaptureSamples.h"
#include "tests/support/Guards.h"

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include <fstream>
#include <regex>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
namespace ft = faciward::testing;
using Lines = std::vector<std::string>;

namespace {

void writeFile(const fs::path &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string firstHalfOf(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return bytes.substr(0, bytes.size() / 2);
}

// What a folder holds: each entry's name, type, mode and content.
std::vector<std::string> snapshot(const fs::path &folder)
{
    std::vector<std::string> out;
    for (const auto &entry : fs::directory_iterator(folder)) {
        struct stat info{};
        ::lstat(entry.path().c_str(), &info);
        std::string content;
        if (S_ISREG(info.st_mode) && (info.st_mode & S_IRUSR)) {
            std::ifstream in(entry.path(), std::ios::binary);
            content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        out.push_back(entry.path().filename().string() + " " + std::to_string(info.st_mode) + " " + content);
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::string> snapshotOrNothing(const fs::path &folder)
{
    return fs::exists(folder) ? snapshot(folder) : std::vector<std::string>{};
}

} // namespace

TEST(HostileInput, hostileSettingsPathsGiveTheirLineTouchNothingAndFailClosed)
{
    ft::TempHome home;
    const fs::path owner = ft::developmentData() / "johns/John_Simm/000288_00470387.jpg";
    const auto enrolled = ft::runFaciward({"enrol", owner}, std::chrono::seconds(60));
    ASSERT_EQ(enrolled.code, 0) << enrolled.err;
    const fs::path folder = home.settingsFile().parent_path();
    const fs::path good = folder.parent_path() / "good.json";
    fs::copy_file(home.settingsFile(), good);
    const bool root = ::geteuid() == 0;
    const auto path = home.settingsFile().string();
    const struct
    {
        const char *name;
        std::function<void(const fs::path &)> make;
        std::string line;          // the one line on standard error, a pattern
        mode_t modeAfter = 0;      // the file's mode afterwards, when it is to be tightened
    } cases[] = {
        {"FIFO", [](const fs::path &p) { ::mkfifo(p.c_str(), 0600); },
         "is left untouched \\(it is not a regular file\\)"},
        {"directory", [](const fs::path &p) { fs::create_directory(p); },
         "is left untouched \\(it is not a regular file\\)"},
        {"dangling link", [](const fs::path &p) { fs::create_symlink(p.parent_path() / "gone.json", p); },
         "is left untouched \\(it is a symbolic link to a file that does not exist\\)"},
        // Root reads any file: a link to itself is what root cannot read.
        {"unreadable",
         [&](const fs::path &p) {
             if (root)
                 fs::create_symlink(p, p);
             else
                 fs::copy_file(good, p), fs::permissions(p, fs::perms::none);
         },
         root ? "is left untouched \\(Too many levels of symbolic links\\)" : "is left untouched \\(Permission denied\\)"},
        {"newer format", [](const fs::path &p) { writeFile(p, "{\"formatVersion\":2,\"values\":{\"embeddings\":7}}"); },
         "is left untouched \\(it has the format version 2, newer than this program knows\\)"},
        {"others may write",
         [&](const fs::path &p) { fs::copy_file(good, p), fs::permissions(p, fs::perms(0666)); },
         "is not safe, so \"embeddings\" is not taken from it: other users could write it \\(mode 0666\\); its mode "
         "is now 0600: enrol again to trust it", 0600},
        {"others may write the folder",
         [&](const fs::path &p) { fs::copy_file(good, p), fs::permissions(p.parent_path(), fs::perms(0777)); },
         "is not safe, so \"embeddings\" is not taken from it: other users can write its folder .* \\(mode 0777\\); "
         "run chmod 700 on the folder, then enrol again"},
    };
    for (const auto &c : cases) {
        fs::remove_all(folder);
        fs::create_directories(folder);
        c.make(home.settingsFile());
        const auto before = snapshot(folder);
        const auto run = ft::runFaciward({"check", owner}, std::chrono::seconds(30));
        EXPECT_EQ(run.code, 1) << c.name << ": " << run.err;
        // Fails closed: without trusted embeddings the owner is a stranger.
        EXPECT_EQ(run.out, owner.string() + ": stranger\nverdict: owner absent\n") << c.name;
        EXPECT_TRUE(std::regex_match(run.err, std::regex("faciward: the settings file " + path + " " + c.line +
                                                         "[^\n]*\nfaciward: no owner is enrolled[^\n]*\n")))
            << c.name << ": " << run.err;
        if (c.modeAfter)
            EXPECT_EQ(fs::status(home.settingsFile()).permissions(), fs::perms(c.modeAfter)) << c.name;
        else
            EXPECT_EQ(snapshot(folder), before) << c.name << ": touched";
        fs::permissions(folder, fs::perms(0700));
    }
}

TEST(HostileInput, checkGivesOneLinePerHostilePictureInBoundedMemory)
{
    ft::TempHome home;
    ft::TempDir dir;
    const fs::path face = ft::developmentData() / "johns/John_Salley/000179_02159509.jpg";
    const fs::path truncated = dir / "truncated.jpg", bomb = dir / "bomb.png", jpegBomb = dir / "bomb.jpg",
                   scanBomb = dir / "scans.jpg", fifo = dir / "fifo.jpg";
    const fs::path forged = dir / "x.jpg: owner\nverdict: owner present\ny.jpg";
    writeFile(truncated, firstHalfOf(face));
    // 144 megapixels, about 430 MB once decoded.
    writeFile(bomb, ft::pixelBombPng(12000, 12000));
    // 900 megapixels claimed by a file of a few hundred bytes.
    writeFile(jpegBomb, ft::pixelBombJpeg(30000, 30000));
    // About 600 kB: 40,000 scans of 36 megapixels, each a pass over the picture.
    writeFile(scanBomb, ft::scanBombJpeg(6000, 6000, 40000));
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::copy_file(face, forged);

    const auto run =
        ft::runFaciward({"check", truncated, bomb, jpegBomb, scanBomb, fifo, forged}, std::chrono::seconds(60));
    EXPECT_EQ(run.code, 1) << run.err; // the owner is absent: nobody is enrolled
    EXPECT_EQ(ft::lines(run.err), Lines{"faciward: no owner is enrolled, so every face is a stranger's; enrol with "
                                        "\"faciward enrol IMAGE…\""});
    EXPECT_EQ(ft::lines(run.out),
              (Lines{truncated.string() + ": error damaged picture: Premature end of JPEG file",
                     bomb.string() + ": error too large: 12000x12000 pixels, above the limit of 50 megapixels",
                     jpegBomb.string() + ": error too large: 30000x30000 pixels, above the limit of 50 megapixels",
                     scanBomb.string() + ": error too large: more than 300 scans",
                     fifo.string() + ": error not a file",
                     (dir / "x.jpg: owner\\nverdict: owner present\\ny.jpg").string() + ": stranger",
                     "verdict: owner absent"}));
    // The models take about 200 MB; the bomb decoded would add 430 MB.
    RecordProperty("peak_rss_kb", std::to_string(run.peakRssKb));
    RecordProperty("cpu_ms", std::to_string(run.cpuTime.count()));
    std::printf("check with the bombs: peak RSS %ld kB, %lld ms of processor time\n", run.peakRssKb,
                static_cast<long long>(run.cpuTime.count()));
    EXPECT_LT(run.peakRssKb, 400 * 1024);
    // Every scan decoded would take minutes.
    EXPECT_LT(run.cpuTime, std::chrono::seconds(20));
}

TEST(HostileInput, aWriteOverTheFileSizeLimitIsReportedRatherThanKillingTheRunner)
{
    ft::TempHome home;
    const fs::path owner = ft::developmentData() / "johns/John_Simm/000288_00470387.jpg";
    // The program starts with SIGXFSZ as a shell leaves it: deadly.
    const auto previous = std::signal(SIGXFSZ, SIG_DFL);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    // Less than one embedding takes in the settings file.
    const rlimit small{4096, limit.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &small);
    const auto run = ft::runFaciward({"enrol", owner}, std::chrono::seconds(60));
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(run.code, 1) << run.err;
    EXPECT_EQ(ft::lines(run.err),
              (Lines{"faciward: the setting \"embeddings\" could not be saved to " + home.settingsFile().string() +
                         ": cannot write the file: File too large",
                     "faciward: the embeddings could not be saved in the settings"}));
    EXPECT_EQ(snapshotOrNothing(home.settingsFile().parent_path()), Lines{}) << "no file, no temporary left";
}

TEST(HostileInput, enrolHoldsOnePictureAtATime)
{
    ft::TempHome home;
    ft::TempDir dir;
    // 36 megapixels, about 108 MB once decoded: under the limit, so each is
    // decoded and looked at.
    const fs::path large = dir / "large.jpg";
    ASSERT_TRUE(cv::imwrite(large.string(), cv::Mat(6000, 6000, CV_8UC3, cv::Scalar(90, 120, 150))));
    long peak[2] = {};
    int index = 0;
    for (const int copies : {1, 5}) {
        std::vector<std::string> arguments{"enrol"};
        arguments.insert(arguments.end(), std::size_t(copies), large.string());
        const auto run = ft::runFaciward(arguments, std::chrono::seconds(120));
        EXPECT_EQ(run.code, 1) << run.err; // no face in any
        peak[index++] = run.peakRssKb;
        std::printf("peak RSS of enrol with %d large pictures: %ld kB\n", copies, run.peakRssKb);
    }
    // Holding all five at once would add over 400 MB.
    EXPECT_LT(peak[1], peak[0] + 100 * 1024);
}

TEST(HostileInput, runnerRefusesAFifoCameraAndExitsWithinTwoSecondsOfSigterm)
{
    ft::TempHome home;
    ft::TempDir dir;
    const fs::path camera = dir / "camera";
    ASSERT_EQ(::mkfifo(camera.c_str(), 0600), 0);
    const auto refused = ft::runFaciward({"run", "--camera", camera, "--assume-idle"}, std::chrono::seconds(10));
    EXPECT_EQ(refused.code, 1);
    EXPECT_EQ(refused.err,
              "faciward: --camera " + camera.string() + ": neither a camera device, a video file nor a folder of pictures\n");

    // A folder when the runner starts, a FIFO by the time the camera opens:
    // the capture thread must not hang in it, nor keep the runner from leaving.
    fs::remove(camera);
    fs::create_directory(camera);
    ASSERT_TRUE(faciward::prefs::Prefs::set(faciward::settings::Keys::inactivityTime(), std::int64_t(1)));
    bool swapped = false;
    const auto run = ft::runFaciward({"run", "--camera", camera, "--assume-idle"}, std::chrono::seconds(30),
                                     [&](const std::string &out) {
                                         if (!swapped && out.find("status: idle") != std::string::npos) {
                                             fs::remove(camera);
                                             swapped = ::mkfifo(camera.c_str(), 0600) == 0;
                                         }
                                         // The check has begun and the camera failed: it ends in idle.
                                         return out.find("status: idle\nstatus: idle\n") != std::string::npos;
                                     });
    EXPECT_TRUE(swapped) << run.out;
    EXPECT_EQ(run.code, 0) << run.out << run.err;
    std::printf("exit after SIGTERM: %lld ms\n", static_cast<long long>(run.exitAfterStop.count()));
    EXPECT_LT(run.exitAfterStop, std::chrono::seconds(2)) << run.err;
}
