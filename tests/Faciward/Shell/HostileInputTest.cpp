// Hostile input to the runner as a program: pictures that are damaged, too
// large, not files or named to forge output, and a camera that is a FIFO.
#include "Faciward/Settings/Keys.h"
#include "SettingsStore/Prefs.h"
#include "tests/Faciward/Shell/FaciwardProcess.h"
#include "tests/Platform/Vision/VisionTestData.h"
#include "tests/support/CaptureSamples.h"
#include "tests/support/Guards.h"

#include <gtest/gtest.h>

#include <fstream>

#include <sys/stat.h>

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

} // namespace

TEST(HostileInput, checkGivesOneLinePerHostilePictureInBoundedMemory)
{
    ft::TempHome home;
    ft::TempDir dir;
    const fs::path face = ft::developmentData() / "johns/John_Salley/000179_02159509.jpg";
    const fs::path truncated = dir / "truncated.jpg", bomb = dir / "bomb.png", fifo = dir / "fifo.jpg";
    const fs::path forged = dir / "x.jpg: owner\nverdict: owner present\ny.jpg";
    writeFile(truncated, firstHalfOf(face));
    // 144 megapixels, about 430 MB once decoded.
    writeFile(bomb, ft::pixelBombPng(12000, 12000));
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::copy_file(face, forged);

    const auto run = ft::runFaciward({"check", truncated, bomb, fifo, forged}, std::chrono::seconds(60));
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ft::lines(run.out),
              (Lines{truncated.string() + ": error damaged picture: Premature end of JPEG file",
                     bomb.string() + ": error too large: 12000x12000 pixels, above the limit of 50 megapixels",
                     fifo.string() + ": error not a file",
                     (dir / "x.jpg: owner\\nverdict: owner present\\ny.jpg").string() + ": stranger",
                     "verdict: owner absent"}));
    // The models take about 200 MB; the bomb decoded would add 430 MB.
    RecordProperty("peak_rss_kb", std::to_string(run.peakRssKb));
    std::printf("peak RSS of check with the bomb: %ld kB\n", run.peakRssKb);
    EXPECT_LT(run.peakRssKb, 400 * 1024);
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
                                         // The check has begun and the camera failed: the lock path starts.
                                         return out.find("countdown: ") != std::string::npos;
                                     });
    EXPECT_TRUE(swapped) << run.out;
    EXPECT_EQ(run.code, 0) << run.out << run.err;
    std::printf("exit after SIGTERM: %lld ms\n", static_cast<long long>(run.exitAfterStop.count()));
    EXPECT_LT(run.exitAfterStop, std::chrono::seconds(2)) << run.err;
}
