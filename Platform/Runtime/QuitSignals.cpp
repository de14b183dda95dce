#include "Platform/Runtime/QuitSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <system_error>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace faciward::platform {

namespace {

// The write end of the pipe that turns SIGINT and SIGTERM into events of the loop.
int g_signalPipe = -1;

void onQuitSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    // Nothing to do when the pipe is full: a quit is already on its way.
    [[maybe_unused]] const auto written = ::write(g_signalPipe, &byte, 1);
    errno = saved;
}

} // namespace

QuitSignals::QuitSignals()
{
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::system_error(errno, std::generic_category());
    g_signalPipe = m_pipe[1];
    struct sigaction action{};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (::sigaction(SIGINT, &action, nullptr) != 0 || ::sigaction(SIGTERM, &action, nullptr) != 0) {
        const int error = errno;
        release();
        throw std::system_error(error, std::generic_category());
    }
}

QuitSignals::~QuitSignals()
{
    release();
}

void QuitSignals::release()
{
    m_notifier.reset();
    // Back to the default: a late signal then ends the process, as it would have anyway.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    g_signalPipe = -1;
    for (int &fd : m_pipe)
        if (fd >= 0)
            ::close(std::exchange(fd, -1));
}

void QuitSignals::watch(std::optional<std::chrono::milliseconds> teardownLimit)
{
    m_teardownLimit = teardownLimit;
    m_notifier = std::make_unique<QSocketNotifier>(m_pipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] {
        char bytes[16];
        while (::read(m_pipe[0], bytes, sizeof bytes) > 0) {
        }
        quit();
    });
}

void QuitSignals::quit()
{
    if (m_quitting)
        return;
    m_quitting = true;
    // A second signal takes its default effect: the user insists.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    if (m_teardownLimit)
        std::thread([limit = *m_teardownLimit] {
            std::this_thread::sleep_for(limit);
            std::_Exit(EXIT_SUCCESS);
        }).detach();
    QCoreApplication::quit();
}

} // namespace faciward::platform
