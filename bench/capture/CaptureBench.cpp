// Prints one JSON object per line:
//   first_frame_ms_{median,max}_{video,folder}: from CameraManagerCombine::startRunning()
//       to the first frame on the main loop, over repeated start/stop cycles;
//   capture_thread_cpu_ms_while_stopped: CPU time the capture thread used while
//       the camera was stopped, over a measured interval (no polling: expect 0);
//   process_cpu_ms_while_stopped: the same for the whole process, Qt loop included;
//   capture_thread_cpu_percent_while_running: for comparison, a 640×480 video at 30 fps.
#include "Faciward/Presence/Devices/CameraManagerCombine.h"
#include "Platform/Capture/CaptureSession.h"
#include "Platform/Runtime/QtScheduler.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <ctime>
#include <unistd.h>

using faciward::platform::CaptureDevice;
using faciward::platform::CaptureSession;
using faciward::presence::CameraManagerCombine;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int cycles = 20;
constexpr auto stoppedInterval = std::chrono::seconds(5);
constexpr auto runningInterval = std::chrono::seconds(2);

void print(const char *metric, double value, const char *unit)
{
    std::printf("{\"bench\":\"capture\",\"metric\":\"%s\",\"value\":%.3f,\"unit\":\"%s\"}\n", metric, value, unit);
    std::fflush(stdout);
}

// Runs the Qt loop until done() or the timeout; false on timeout.
bool spinUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    QEventLoop loop;
    QTimer tick;
    tick.start(5);
    const auto deadline = Clock::now() + timeout;
    while (!done() && Clock::now() < deadline)
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

void spinFor(std::chrono::milliseconds interval)
{
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(interval.count()), &loop, &QEventLoop::quit);
    loop.exec();
}

double processCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// The capture thread's CPU time in ms, from the scheduler's own accounting.
std::optional<double> captureThreadCpuMs()
{
    for (const auto &task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string name;
        std::getline(std::ifstream(task.path() / "comm"), name);
        if (name != "fw-capture")
            continue;
        double nanoseconds = 0;
        if (std::ifstream(task.path() / "schedstat") >> nanoseconds)
            return nanoseconds / 1e6;
    }
    return std::nullopt;
}

struct Latency
{
    double median;
    double max;
};

std::optional<Latency> firstFrameLatency(CameraManagerCombine &camera)
{
    std::vector<double> samples;
    bool got = false;
    auto subscription = camera.cameraFrameSubject().sink([&](const cv::Mat &) { got = true; });
    for (int i = 0; i < cycles; ++i) {
        got = false;
        const auto start = Clock::now();
        camera.startRunning();
        if (!spinUntil([&] { return got; }))
            return std::nullopt;
        samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        camera.stopRunning();
        spinFor(std::chrono::milliseconds(20));
    }
    std::sort(samples.begin(), samples.end());
    return Latency{samples[samples.size() / 2], samples.back()};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    faciward::platform::QtScheduler main;

    const auto dir = std::filesystem::temp_directory_path() / ("faciward-capture-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "pictures");
    {
        cv::VideoWriter writer((dir / "clip.avi").string(), cv::CAP_FFMPEG, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'),
                               30.0, cv::Size(640, 480));
        for (int i = 0; i < 90; ++i) {
            cv::Mat frame(480, 640, CV_8UC3, cv::Scalar(i, 255 - i, 128));
            cv::circle(frame, cv::Point(320 + i, 240), 80, cv::Scalar(20, 20, 220), -1);
            writer.write(frame);
        }
        for (int i = 0; i < 10; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "picture-%02d.png", i);
            cv::imwrite((dir / "pictures" / name).string(), cv::Mat(480, 640, CV_8UC3, cv::Scalar(10 * i, 50, 90)));
        }
    }

    int status = 0;
    for (const char *kind : {"video", "folder"}) {
        const auto source = CaptureDevice::fromPath(std::string(kind) == "video" ? dir / "clip.avi" : dir / "pictures");
        CaptureSession session(main, [source] { return std::vector{source}; });
        CameraManagerCombine camera(main, session);
        spinFor(std::chrono::milliseconds(10));
        const auto latency = firstFrameLatency(camera);
        if (!latency) {
            std::fprintf(stderr, "capture bench: no frame from the %s source\n", kind);
            status = 1;
            continue;
        }
        print((std::string("first_frame_ms_median_") + kind).c_str(), latency->median, "ms");
        print((std::string("first_frame_ms_max_") + kind).c_str(), latency->max, "ms");

        if (std::string(kind) != "video")
            continue;
        // Running, for comparison.
        camera.startRunning();
        spinFor(std::chrono::milliseconds(200));
        const auto runStart = captureThreadCpuMs();
        spinFor(runningInterval);
        const auto runEnd = captureThreadCpuMs();
        camera.stopRunning();
        if (runStart && runEnd)
            print("capture_thread_cpu_percent_while_running",
                  (*runEnd - *runStart) / std::chrono::duration<double, std::milli>(runningInterval).count() * 100.0,
                  "%");

        // Stopped: the thread should sleep on its condition variable.
        spinFor(std::chrono::milliseconds(200));
        const auto threadBefore = captureThreadCpuMs();
        const double processBefore = processCpuMs();
        spinFor(std::chrono::duration_cast<std::chrono::milliseconds>(stoppedInterval));
        const auto threadAfter = captureThreadCpuMs();
        const double processAfter = processCpuMs();
        if (threadBefore && threadAfter)
            print("capture_thread_cpu_ms_while_stopped", *threadAfter - *threadBefore, "ms");
        else {
            std::fprintf(stderr, "capture bench: the capture thread was not found in /proc/self/task\n");
            status = 1;
        }
        print("process_cpu_ms_while_stopped", processAfter - processBefore, "ms");
        print("stopped_interval_s", std::chrono::duration<double>(stoppedInterval).count(), "s");
    }

    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return status;
}
