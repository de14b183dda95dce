#include "WidgetApplication.h"

#include "tests/support/Guards.h"
#include "tests/support/QtEventLoop.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QImage>
#include <QWidget>

#include <cstdlib>

namespace faciward::testing {

QApplication &widgetApplication()
{
    static QApplication *instance = [] {
        // Set before the application exists: the platform and the scale are
        // read in its constructor.
        ::setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/0);
        ::setenv("QT_SCALE_FACTOR", "1", 1);
        ::setenv("QT_FONT_DPI", "96", 1);
        ::unsetenv("QT_AUTO_SCREEN_SCALE_FACTOR");
        ::unsetenv("QT_SCREEN_SCALE_FACTORS");
        // A runtime folder of its own where the session has none (Qt warns otherwise).
        if (!std::getenv("XDG_RUNTIME_DIR")) {
            static TempDir runtime("faciward-runtime");
            ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
        }
        static int argc = 1;
        static char name[] = "faciward-test";
        static char *argv[] = {name, nullptr};
        auto *application = new QApplication(argc, argv);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSize(10);
        QApplication::setFont(font);
        return application;
    }();
    return *instance;
}

bool spinUntil(const std::function<bool()> &done, std::chrono::milliseconds limit)
{
    widgetApplication();
    return processEventsUntil(done, limit);
}

void saveScreenshot(const QImage &image, const std::string &name)
{
    const char *folder = std::getenv("FACIWARD_SCREENSHOTS");
    if (!folder || !*folder)
        return;
    const QDir dir(QString::fromLocal8Bit(folder));
    dir.mkpath(QStringLiteral("."));
    image.save(dir.filePath(QString::fromStdString(name) + QStringLiteral(".png")), "PNG");
}

QImage grabWidget(QWidget &widget, const std::string &name)
{
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget.render(&image);
    saveScreenshot(image, name);
    return image;
}

} // namespace faciward::testing

#if defined(__SANITIZE_ADDRESS__)
// fontconfig, which Qt asks for fonts when widgets are measured or shown, keeps
// a cache it never frees, and libdbus, which Qt's X11 platform loads for the
// tray and the desktop's theme, a buffer; nothing of ours.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig.so\nleak:libdbus-1.so\n";
}
#endif
