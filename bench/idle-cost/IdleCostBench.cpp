// What `faciward run` costs while it waits with the camera off: the real
// program, tracking (its idle timer asks every 5 s) but never idle long enough
// for a check, measured from /proc.
//
// Prints one JSON object per line:
//   cpu_percent_one_core: CPU time of all its threads over the measured
//       interval, as a share of one core (the scheduler's nanosecond accounts);
//   cpu_percent_one_core_ticks: the same from utime + stime (10 ms ticks);
//   rss_mb, rss_peak_mb: resident memory at the end, and its peak;
//   threads: its threads at the end.
//
// Usage: idle_cost_bench [--duration SECONDS] [--warmup SECONDS] [--binary PATH]
//   --duration  the measured interval (default 60)
//   --warmup    time first given to start-up and loading the models (default 5)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace fs = std::filesystem;

namespace {

void print(const char *metric, double value, const char *unit)
{
    std::printf("{\"bench\":\"idle-cost\",\"metric\":\"%s\",\"value\":%.4f,\"unit\":\"%s\"}\n", metric, value, unit);
    std::fflush(stdout);
}

// CPU time of the living threads of @p pid, in ns, from each thread's schedstat.
double threadCpuNs(pid_t pid)
{
    double total = 0;
    std::error_code ignored;
    for (const auto &task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ignored)) {
        double ns = 0;
        if (std::ifstream(task.path() / "schedstat") >> ns)
            total += ns;
    }
    return total;
}

// utime + stime of @p pid, dead threads included, in clock ticks.
std::optional<double> processTicks(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos)
        return std::nullopt;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    // Fields 3 to 13 come before utime (14) and stime (15).
    for (int i = 3; i <= 13 && fields >> field; ++i) {
    }
    double utime = 0, stime = 0;
    if (!(fields >> utime >> stime))
        return std::nullopt;
    return utime + stime;
}

// A "Name:  value kB" line of /proc/PID/status, in kB.
std::optional<double> statusValue(pid_t pid, const std::string &name)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(name + ":", 0) == 0)
            return std::stod(line.substr(name.size() + 1));
    }
    return std::nullopt;
}

bool stillRunning(pid_t pid)
{
    int status = 0;
    return ::waitpid(pid, &status, WNOHANG) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    double measured = 60, warmup = 5;
    std::string binary = FACIWARD_BINARY;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--duration" && i + 1 < argc) {
            measured = std::atof(argv[++i]);
        } else if (argument == "--warmup" && i + 1 < argc) {
            warmup = std::atof(argv[++i]);
        } else if (argument == "--binary" && i + 1 < argc) {
            binary = argv[++i];
        } else {
            std::fprintf(stderr, "usage: idle_cost_bench [--duration SECONDS] [--warmup SECONDS] [--binary PATH]\n");
            return 2;
        }
    }
    if (!(measured > 0) || warmup < 0) {
        std::fprintf(stderr, "idle-cost: the duration must be positive and the warm-up not negative\n");
        return 2;
    }

    // Settings of its own: a check only after a day of idleness, so the camera stays off.
    const fs::path dir = fs::temp_directory_path() / ("faciward-idle-cost-" + std::to_string(::getpid()));
    fs::create_directories(dir / "camera");
    std::ofstream(dir / "settings.json") << "{\"formatVersion\":1,\"values\":{\"inactivityTime\":86400}}\n";
    ::setenv("FACIWARD_SETTINGS_FILE", (dir / "settings.json").c_str(), 1);
    ::setenv("XDG_DOCUMENTS_DIR", (dir / "Documents").c_str(), 1);

    std::vector<std::string> args{binary, "run", "--camera", (dir / "camera").string(), "--assume-idle"};
    std::vector<char *> raw;
    for (auto &a : args)
        raw.push_back(a.data());
    raw.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, (dir / "out.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, (dir / "err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, raw[0], &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        std::fprintf(stderr, "idle-cost: cannot start %s\n", binary.c_str());
        fs::remove_all(dir);
        return 1;
    }

    using std::chrono::steady_clock;
    const auto wait = [](double seconds) {
        std::this_thread::sleep_for(std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::duration<double>(seconds)));
    };
    wait(warmup);
    const double ns0 = threadCpuNs(pid);
    const auto ticks0 = processTicks(pid);
    const auto t0 = steady_clock::now();
    wait(measured);
    const double ns1 = threadCpuNs(pid);
    const auto ticks1 = processTicks(pid);
    const double elapsed = std::chrono::duration<double>(steady_clock::now() - t0).count();
    const auto rss = statusValue(pid, "VmRSS");
    const auto peak = statusValue(pid, "VmHWM");
    const auto threads = statusValue(pid, "Threads");
    const bool running = stillRunning(pid);

    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    std::string out, err;
    std::getline(std::ifstream(dir / "out.txt"), out, '\0');
    std::getline(std::ifstream(dir / "err.txt"), err, '\0');

    int code = 0;
    if (!running || !rss || !ticks0 || !ticks1) {
        std::fprintf(stderr, "idle-cost: faciward run ended early:\n%s", err.c_str());
        code = 1;
    } else {
        print("cpu_percent_one_core", 100.0 * (ns1 - ns0) / 1e9 / elapsed, "%");
        print("cpu_percent_one_core_ticks", 100.0 * (*ticks1 - *ticks0) / double(::sysconf(_SC_CLK_TCK)) / elapsed,
              "%");
        print("rss_mb", *rss / 1024.0, "MB");
        print("rss_peak_mb", peak.value_or(0) / 1024.0, "MB");
        print("threads", threads.value_or(0), "count");
        print("duration_s", elapsed, "s");
    }
    if (out != "status: disabled\nstatus: idle\n") {
        std::fprintf(stderr, "idle-cost: unexpected events (the camera must stay off):\n%s", out.c_str());
        code = 1;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "idle-cost: faciward run did not end cleanly on SIGTERM\n");
        code = 1;
    }
    fs::remove_all(dir);
    return code;
}
