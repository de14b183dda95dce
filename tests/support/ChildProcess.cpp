#include "ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace faciward::testing {

namespace {

int openPidFd(pid_t pid)
{
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

std::vector<std::string> mergedEnvironment(const std::vector<std::string> &extra)
{
    std::map<std::string, std::string> byName;
    std::vector<std::string> order;
    auto add = [&](const std::string &entry) {
        const auto name = entry.substr(0, entry.find('='));
        if (!byName.count(name))
            order.push_back(name);
        byName[name] = entry;
    };
    for (char **e = environ; *e; ++e)
        add(*e);
    for (const auto &entry : extra)
        add(entry);
    std::vector<std::string> result;
    for (const auto &name : order)
        result.push_back(byName[name]);
    return result;
}

} // namespace

bool servicesRequired()
{
    const char *value = std::getenv("FACIWARD_REQUIRE_SERVICES");
    return value && std::string(value) == "1";
}

bool ChildProcess::available(const std::string &program)
{
    const char *path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const auto end = dirs.find(':', start);
        const auto dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const auto candidate = std::filesystem::path(dir.empty() ? "." : dir) / program;
        if (::access(candidate.c_str(), X_OK) == 0)
            return true;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return false;
}

ChildProcess::ChildProcess(const std::vector<std::string> &argv, const std::vector<std::string> &environment)
{
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot make a pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, report[1], 3);

    std::vector<char *> args;
    for (const auto &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    const auto env = mergedEnvironment(environment);
    std::vector<char *> envp;
    for (const auto &e : env)
        envp.push_back(const_cast<char *>(e.c_str()));
    envp.push_back(nullptr);

    const int rc = ::posix_spawnp(&m_pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(report[1]);
    if (rc != 0) {
        ::close(report[0]);
        throw std::runtime_error("cannot start " + argv.front() + ": " + std::strerror(rc));
    }
    m_reportFd = report[0];
    m_pidFd = openPidFd(m_pid);
}

ChildProcess::~ChildProcess()
{
    if (!m_status) {
        ::kill(m_pid, SIGTERM);
        if (!wait(std::chrono::seconds(5))) {
            ::kill(m_pid, SIGKILL);
            wait(std::chrono::seconds(5));
        }
    }
    if (m_reportFd >= 0)
        ::close(m_reportFd);
    if (m_pidFd >= 0)
        ::close(m_pidFd);
}

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto newline = m_buffer.find('\n');
        if (newline != std::string::npos) {
            auto line = m_buffer.substr(0, newline);
            m_buffer.erase(0, newline + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                               std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        pollfd p{m_reportFd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return std::nullopt;
        char chunk[256];
        const ssize_t n = ::read(m_reportFd, chunk, sizeof chunk);
        if (n <= 0)
            return std::nullopt;
        m_buffer.append(chunk, static_cast<std::size_t>(n));
    }
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout)
{
    if (m_status)
        return m_status;
    if (m_pidFd >= 0) {
        pollfd p{m_pidFd, POLLIN, 0};
        int ready;
        do {
            ready = ::poll(&p, 1, static_cast<int>(timeout.count()));
        } while (ready < 0 && errno == EINTR);
        if (ready <= 0)
            return std::nullopt;
    }
    // Without a pidfd (old kernels) this blocks until the child ends.
    int status = 0;
    pid_t rc;
    do {
        rc = ::waitpid(m_pid, &status, 0);
    } while (rc < 0 && errno == EINTR);
    if (rc != m_pid)
        return std::nullopt;
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return m_status;
}

int ChildProcess::run(const std::vector<std::string> &argv, const std::vector<std::string> &environment,
                      std::chrono::milliseconds timeout)
{
    try {
        ChildProcess child(argv, environment);
        if (auto status = child.wait(timeout))
            return *status;
        return -1;
    } catch (const std::runtime_error &) {
        return -1;
    }
}

} // namespace faciward::testing
