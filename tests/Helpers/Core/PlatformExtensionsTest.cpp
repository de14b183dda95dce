#include "Helpers/Core/Bundle.h"
#include "Helpers/Core/HexColor.h"
#include "Helpers/Core/HostedIcon.h"
#include "Helpers/Core/TargetAction.h"
#include "Helpers/Core/Screen.h"
#include "Helpers/Core/UserInteractionPausableWindow.h"
#include "Helpers/Core/WindowController.h"

#include "tests/support/WidgetApplication.h"

#include <QAction>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QSystemTrayIcon>
#include <QTest>

#include <gtest/gtest.h>

namespace faciward::helpers {
namespace {

TEST(HexColorTest, table)
{
    const std::pair<const char16_t *, QRgb> table[] = {
        {u"#C3FF00", qRgba(195, 255, 0, 255)}, {u"#E0FF7B", qRgba(224, 255, 123, 255)},
        {u" ff8800 ", qRgba(255, 136, 0, 255)}, {u"F80", qRgba(255, 136, 0, 255)},
        {u"ZZZ", qRgba(0, 0, 0, 255)},          {u"80FF000080", qRgba(1, 1, 0, 1)}, // any other length
        {u"80FF0000", qRgba(255, 0, 0, 128)},   {u"12345G", qRgba(0x01, 0x23, 0x45, 255)},
        {u"0x1234", qRgba(0, 0x12, 0x34, 255)}, {u"", qRgba(1, 1, 0, 1)},
        {u"#\u00E9\u00E9\u00E9", qRgba(0, 0, 0, 255)}, // three characters, six bytes
        // Characters as the user sees them: an accent is part of its letter...
        {u"C3F\u0301F00", qRgba(0x00, 0x0C, 0x3F, 255)}, // six, read up to the accent
        {u"\u0301F80", qRgba(1, 1, 0, 1)},                // a mark is kept, and counts alone
        // ...and a character beyond the basic plane is one, kept or trimmed whole.
        {u"#C3FF00\U0001D7D8", qRgba(1, 1, 0, 1)}, // a digit: seven characters
        {u"\U0001F600F80\U0001F600", qRgba(255, 136, 0, 255)},
    };
    for (const auto &[hex, rgba] : table)
        EXPECT_EQ(colorFromHex(QStringView(hex)).rgba(), rgba) << QString::fromUtf16(hex).toStdString();
}

// The beta switch reaches every user of the toolkit from the build, at compile
// time; a build that was not asked to be one (as CI's) offers no debug menu.
TEST(BundleTest, onlyABuildForBetaTestersIsOne)
{
    if constexpr (FACIWARD_BETA_BUILD)
        GTEST_SKIP() << "built for beta testers";
    static_assert(!Bundle::isTestFlight || FACIWARD_BETA_BUILD);
    EXPECT_FALSE(Bundle::isTestFlight);
}

// Counts what reaches a child, as the controls inside a paused window would.
struct Recorder : QWidget
{
    int clicks = 0, keys = 0, moves = 0;
    void mousePressEvent(QMouseEvent *) override { ++clicks; }
    void keyPressEvent(QKeyEvent *) override { ++keys; }
    void mouseMoveEvent(QMouseEvent *) override { ++moves; }
};

TEST(PausableWindowTest, pausedWindowDropsClicksAndKeysButNotMoves)
{
    testing::widgetApplication();
    UserInteractionPausableWindow window;
    auto *child = new Recorder;
    child->setParent(&window);
    child->setMouseTracking(true);
    window.resize(100, 100);
    child->resize(100, 100);
    window.show();
    child->setFocus();
    QWindow *handle = window.windowHandle();
    for (const bool enabled : {false, true}) {
        window.setUserInteractionEnabled(enabled);
        child->clicks = child->keys = child->moves = 0;
        QTest::mouseMove(handle, QPoint(30, 30));
        QTest::mouseClick(handle, Qt::LeftButton, {}, QPoint(40, 40));
        QTest::keyClick(handle, Qt::Key_A);
        EXPECT_EQ(child->clicks, enabled ? 1 : 0) << enabled;
        EXPECT_EQ(child->keys, enabled ? 1 : 0) << enabled;
        EXPECT_GE(child->moves, 1) << enabled;
    }
}

// Records the keys a focused control inside the window receives: "+Shift" for
// a press, "-Shift" for a release.
struct KeyRecorder : QWidget
{
    std::vector<std::string> keys;
    void keyPressEvent(QKeyEvent *event) override { keys.push_back('+' + name(*event)); }
    void keyReleaseEvent(QKeyEvent *event) override { keys.push_back('-' + name(*event)); }
    static std::string name(const QKeyEvent &event) { return QKeySequence(event.key()).toString().toStdString(); }
};

// While paused, no shortcut fires and no key arrives, but modifiers pressed and
// let go still do; running, the same shortcuts fire.
TEST(PausableWindowTest, pausedWindowFiresNoShortcutsAndPassesModifiers)
{
    testing::widgetApplication();
    UserInteractionPausableWindow window;
    auto *child = new KeyRecorder;
    child->setParent(&window);
    child->setFocusPolicy(Qt::StrongFocus);
    int fired = 0;
    QShortcut shortcut(QKeySequence(Qt::CTRL | Qt::Key_K), &window);
    QObject::connect(&shortcut, &QShortcut::activated, [&] { ++fired; });
    QAction reload;
    reload.setShortcut(Qt::Key_F5);
    window.addAction(&reload);
    QObject::connect(&reload, &QAction::triggered, [&] { ++fired; });
    window.resize(100, 100);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    child->setFocus();
    QWindow *handle = window.windowHandle();
    auto pressAndRelease = [handle](Qt::Key key) {
        return [handle, key] {
            QTest::keyPress(handle, key);
            QTest::keyRelease(handle, key);
        };
    };
    struct Row {
        const char *name;
        std::function<void()> type;
        std::vector<std::string> pausedKeys; // what the control gets while paused
        int firedRunning;                // shortcuts fired when not paused
    } const rows[] = {
        {"shortcut", [&] { QTest::keyClick(handle, Qt::Key_K, Qt::ControlModifier); }, {"+Control", "-Control"}, 1},
        {"action's shortcut", [&] { QTest::keyClick(handle, Qt::Key_F5); }, {}, 1},
        {"letter", pressAndRelease(Qt::Key_A), {}, 0},
        {"Shift", pressAndRelease(Qt::Key_Shift), {"+Shift", "-Shift"}, 0},
        {"Ctrl", pressAndRelease(Qt::Key_Control), {"+Control", "-Control"}, 0},
        {"Alt", pressAndRelease(Qt::Key_Alt), {"+Alt", "-Alt"}, 0},
        {"Meta", pressAndRelease(Qt::Key_Meta), {"+Meta", "-Meta"}, 0},
    };
    for (const Row &row : rows) {
        for (const bool paused : {true, false}) {
            SCOPED_TRACE(::testing::Message() << row.name << (paused ? ", paused" : ", running"));
            window.setUserInteractionEnabled(!paused);
            fired = 0;
            child->keys.clear();
            row.type();
            EXPECT_EQ(fired, paused ? 0 : row.firedRunning);
            if (paused) {
                EXPECT_EQ(child->keys, row.pausedKeys);
            }
        }
    }
}

TEST(ScreenTest, sizesAndNumbersAreSafeWithoutAScreen)
{
    testing::widgetApplication();
    EXPECT_FALSE(Screen::availableSize(nullptr) || displayNumber(nullptr));
    EXPECT_EQ(displayNumber(QGuiApplication::primaryScreen()), 0u);
    EXPECT_EQ(Screen::size(), Screen::availableSize(QGuiApplication::primaryScreen()));
    const std::pair<QSizeF, std::optional<qreal>> ratios[] = {{{1440, 900}, 0.625}, {{0, 0}, std::nullopt}};
    for (const auto &[size, ratio] : ratios) {
        Screen::setSize(size);
        EXPECT_EQ(Screen::ratio(), ratio);
    }
}

// Every part of the toolkit picks its screen here: the window's own, or else
// the primary one, wherever the window or point lies.
TEST(ScreenTest, aWindowOrPointOffEveryScreenFallsBackToThePrimaryOne)
{
    testing::widgetApplication();
    QScreen *primary = QGuiApplication::primaryScreen();
    ASSERT_NE(primary, nullptr);
    QWidget window;
    EXPECT_EQ(Screen::screenFor(), primary);
    EXPECT_EQ(Screen::screenFor(&window), primary);
    const QPoint points[] = {primary->geometry().center(), QPoint(-100000, -100000)};
    for (const QPoint point : points)
        EXPECT_EQ(Screen::screenFor(point), primary);
    EXPECT_EQ(Screen::availableArea(primary), primary->availableGeometry());
    EXPECT_EQ(Screen::availableArea(nullptr), std::nullopt);
}

TEST(HostedIconTest, framesFollowTheRendererAtMostTenTimesASecond)
{
    testing::widgetApplication();
    QSystemTrayIcon item;
    int frames = 0;
    QColor colour = Qt::red;
    HostedIcon *icon = addHostedView(&item, [&](QPainter &painter, QSize size) {
        ++frames;
        painter.setBrush(colour);
        painter.drawEllipse(QRect(QPoint(), size));
    });
    auto centre = [&] {
        const QImage image = item.icon().pixmap(HostedIcon::kIconSize).toImage();
        testing::saveScreenshot(image, "hosted-icon-" + std::to_string(frames));
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0); // outside the drawn disc
        return image.pixelColor(image.width() / 2, image.height() / 2);
    };
    EXPECT_EQ(centre(), QColor(Qt::red));
    colour = Qt::blue;
    for (int i = 0; i < 50; ++i)
        icon->update();
    EXPECT_EQ(frames, 1); // within the first tenth of a second: one frame pending, none drawn
    ASSERT_TRUE(testing::spinUntil([&] { return frames == 2; }));
    EXPECT_EQ(centre(), QColor(Qt::blue));
}

// Each object of the toolkit carries its own meta-object: without it,
// qobject_cast fails on it and tr() looks its texts up under the base class.
TEST(QtObjectRulesTest, everyObjectKnowsItsOwnClass)
{
    const std::pair<const QMetaObject *, const char *> table[] = {
        {&WindowController::staticMetaObject, "faciward::helpers::WindowController"},
        {&HostedIcon::staticMetaObject, "faciward::helpers::HostedIcon"},
        {&TargetAction::staticMetaObject, "faciward::helpers::TargetAction"},
        {&UserInteractionPausableWindow::staticMetaObject, "faciward::helpers::UserInteractionPausableWindow"},
    };
    for (const auto &[meta, name] : table)
        EXPECT_STREQ(meta->className(), name);
}

} // namespace
} // namespace faciward::helpers
