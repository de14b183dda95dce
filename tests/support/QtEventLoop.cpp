#include "QtEventLoop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace faciward::testing {

QCoreApplication &coreApplication()
{
    // A test binary that made its own application (a QApplication for widgets)
    // keeps it; a second one may not be made.
    if (auto *existing = QCoreApplication::instance())
        return *existing;
    static int argc = 1;
    static char name[] = "faciward-test";
    static char *argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    return application;
}

bool processEventsUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout)
{
    coreApplication();
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    // The tick wakes the loop now and then, for conditions that other threads
    // change without posting a Qt event.
    QTimer tick;
    tick.start(20);
    QEventLoop loop;
    while (!done() && std::chrono::steady_clock::now() < deadline)
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

} // namespace faciward::testing
