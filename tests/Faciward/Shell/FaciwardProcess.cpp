#include "FaciwardProcess.h"

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace faciward::testing {

FaciwardOutcome runFaciward(const std::vector<std::string> &arguments, std::chrono::milliseconds timeout,
                            const std::function<bool(const std::string &out)> &stopWhen)
{
    std::vector<std::string> argv{FACIWARD_BINARY};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char *> raw;
    for (auto &a : argv)
        raw.push_back(a.data());
    raw.push_back(nullptr);

    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    if (::pipe2(err, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        throw std::runtime_error("pipe");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, raw[0], &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    if (spawned != 0) {
        ::close(out[0]);
        ::close(err[0]);
        throw std::runtime_error("cannot start " + argv[0]);
    }

    FaciwardOutcome run;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string *sinks[2] = {&run.out, &run.err};
    int open = 2;
    bool stopped = false;
    std::chrono::steady_clock::time_point stoppedAt;
    bool killed = false;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            ::kill(pid, SIGKILL);
            killed = true;
            break;
        }
        if (::poll(fds, 2, static_cast<int>(left.count())) <= 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            char buffer[65536];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, std::size_t(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
        if (stopWhen && !stopped && stopWhen(run.out)) {
            ::kill(pid, SIGTERM);
            stopped = true;
            stoppedAt = std::chrono::steady_clock::now();
        }
    }
    for (auto &fd : fds)
        if (fd.fd >= 0)
            ::close(fd.fd);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    run.peakRssKb = usage.ru_maxrss;
    const auto cpu = [](const timeval &t) { return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec); };
    run.cpuTime = std::chrono::duration_cast<std::chrono::milliseconds>(cpu(usage.ru_utime) + cpu(usage.ru_stime));
    if (stopped)
        run.exitAfterStop =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - stoppedAt);
    if (killed)
        run.code = -1;
    else
        run.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        out.push_back(text.substr(start, end - start));
    if (start < text.size())
        out.push_back(text.substr(start) + "<no line feed>");
    return out;
}

} // namespace faciward::testing
