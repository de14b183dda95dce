#include "FaciwardProcess.h"

#include <algorithm>
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

namespace {

struct Pipe
{
    int read = -1;
    int write = -1;

    Pipe()
    {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        read = ends[0];
        write = ends[1];
    }
    ~Pipe()
    {
        closeRead();
        closeWrite();
    }
    Pipe(const Pipe &) = delete;
    Pipe &operator=(const Pipe &) = delete;

    void closeRead()
    {
        if (read >= 0)
            ::close(read);
        read = -1;
    }
    void closeWrite()
    {
        if (write >= 0)
            ::close(write);
        write = -1;
    }
};

} // namespace

FaciwardOutcome runFaciward(const std::vector<std::string> &arguments, std::chrono::milliseconds timeout,
                            const std::function<bool(const std::string &out)> &stopWhen, Streams streams)
{
    std::vector<std::string> argv{FACIWARD_BINARY};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char *> raw;
    for (auto &a : argv)
        raw.push_back(a.data());
    raw.push_back(nullptr);

    Pipe out, err;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (streams == Streams::allClosed) {
        for (int fd = 0; fd <= 2; ++fd)
            posix_spawn_file_actions_addclose(&actions, fd);
    } else {
        if (streams == Streams::outputToFullDevice)
            posix_spawn_file_actions_addopen(&actions, 1, "/dev/full", O_WRONLY, 0);
        else
            posix_spawn_file_actions_adddup2(&actions, out.write, 1);
        posix_spawn_file_actions_adddup2(&actions, err.write, 2);
    }
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, raw[0], &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    out.closeWrite();
    err.closeWrite();
    if (spawned != 0)
        throw std::runtime_error("cannot start " + argv[0]);
    if (streams != Streams::piped)
        out.closeRead(); // for outputToClosedPipe: the reader goes away
    if (streams == Streams::allClosed)
        err.closeRead();

    FaciwardOutcome run;
    int status = 0;
    rusage usage{};
    bool reaped = false;
    const auto reap = [&](int flags) {
        if (!reaped && ::wait4(pid, &status, flags, &usage) == pid)
            reaped = true;
        return reaped;
    };
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    pollfd fds[2] = {{out.read, POLLIN, 0}, {err.read, POLLIN, 0}};
    std::string *sinks[2] = {&run.out, &run.err};
    Pipe *pipes[2] = {&out, &err};
    bool stopped = false;
    std::chrono::steady_clock::time_point stoppedAt;
    bool killed = false;
    const auto isOpen = [&] { return fds[0].fd >= 0 || fds[1].fd >= 0; };
    while (isOpen() || !reaped) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            ::kill(pid, SIGKILL);
            killed = true;
            break;
        }
        const int slice = static_cast<int>(std::min<long long>(left.count(), 10));
        if (isOpen()) {
            if (::poll(fds, 2, slice) > 0) {
                for (int i = 0; i < 2; ++i) {
                    if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                        continue;
                    char buffer[65536];
                    const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
                    if (n > 0) {
                        sinks[i]->append(buffer, std::size_t(n));
                    } else {
                        pipes[i]->closeRead();
                        fds[i].fd = -1;
                    }
                }
            }
        } else if (!reap(WNOHANG)) {
            ::poll(nullptr, 0, slice);
        }
        if (stopWhen && !stopped && stopWhen(run.out)) {
            run.runningWhenStopped = !reap(WNOHANG);
            ::kill(pid, SIGTERM);
            stopped = true;
            stoppedAt = std::chrono::steady_clock::now();
        }
    }
    reap(0);
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
