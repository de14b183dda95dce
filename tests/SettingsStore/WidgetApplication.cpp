#include "WidgetApplication.h"

#include "tests/support/Guards.h"
#include "tests/support/QtEventLoop.h"

#include <QApplication>

#include <cstdlib>

namespace faciward::testing {

QApplication &widgetApplication()
{
    static QApplication *instance = [] {
        // Set before the application exists: the platform is chosen in its constructor.
        ::setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/0);
        // A runtime folder of its own where the session has none (Qt warns otherwise).
        if (!std::getenv("XDG_RUNTIME_DIR")) {
            static TempDir runtime("faciward-runtime");
            ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
        }
        static int argc = 1;
        static char name[] = "faciward-test";
        static char *argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return *instance;
}

bool spinUntil(const std::function<bool()> &done, std::chrono::milliseconds limit)
{
    widgetApplication();
    return processEventsUntil(done, limit);
}

} // namespace faciward::testing

#if defined(__SANITIZE_ADDRESS__)
// fontconfig, which Qt asks for fonts when widgets are measured or shown, keeps
// a cache it never frees; nothing of ours.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
#endif
