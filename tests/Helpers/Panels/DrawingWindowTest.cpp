#include "Helpers/Panels/DrawingWindow.h"

#include "tests/support/WidgetApplication.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace faciward::helpers {
namespace {

using faciward::testing::saveScreenshot;
using faciward::testing::spinUntil;
using faciward::testing::widgetApplication;

struct Captures
{
    std::vector<QImage> images;
    void listenTo(DrawingWindow &window)
    {
        QObject::connect(&window, &DrawingWindow::didCaptureImage, [this](const QImage &image) {
            images.push_back(image);
        });
    }
};

const QColor known(200, 40, 60);

struct Drag
{
    const char *name;
    QPoint from, to;
    QSize size;         // of the handed-over image; empty: a null image
    int knownFromColumn; // the first column of the known colour
};

class DrawingWindowTest : public ::testing::TestWithParam<Drag>
{
};

// The drawing window lies at (50, 50) over a window of a known colour at
// (100, 100): window coordinates are 50 off screen coordinates, so a capture
// taken from the wrong place shows the plain desktop.
TEST_P(DrawingWindowTest, handsOverTheScreenUnderTheSelection)
{
    widgetApplication();
    const Drag drag = GetParam();
    QWidget backdrop(nullptr, Qt::Window | Qt::FramelessWindowHint);
    backdrop.setGeometry(100, 100, 300, 200);
    backdrop.setAutoFillBackground(true);
    QPalette palette = backdrop.palette();
    palette.setColor(QPalette::Window, known);
    backdrop.setPalette(palette);
    backdrop.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&backdrop));

    DrawingWindow window(QRect(50, 50, 400, 300));
    auto captures = std::make_shared<Captures>();
    captures->listenTo(window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QWindow *handle = window.windowHandle();

    QTest::mousePress(handle, Qt::LeftButton, {}, drag.from);
    QTest::mouseMove(handle, (drag.from + drag.to) / 2);
    QTest::mouseMove(handle, drag.to);
    if (drag.from != drag.to) {
        ASSERT_FALSE(window.outline().isEmpty());
        saveScreenshot(window.grab().toImage(), std::string("drawing-window-") + drag.name);
    }
    QTest::mouseRelease(handle, Qt::LeftButton, {}, drag.to);
    EXPECT_TRUE(window.outline().isEmpty()) << "the outline goes at once on release";

    ASSERT_TRUE(spinUntil([&] { return !captures->images.empty(); }));
    ASSERT_EQ(captures->images.size(), 1u);
    const QImage image = captures->images.front();
    if (drag.size.isEmpty()) {
        EXPECT_TRUE(image.isNull());
        return;
    }
    ASSERT_EQ(image.size(), drag.size);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const bool expectKnown = x >= drag.knownFromColumn;
            ASSERT_EQ(QColor(image.pixel(x, y)) == known, expectKnown) << "at " << x << "," << y;
        }
}

INSTANTIATE_TEST_SUITE_P(Drags, DrawingWindowTest,
                         ::testing::Values(Drag{"down-right", {60, 60}, {160, 120}, {100, 60}, 0},
                                           Drag{"up-left", {160, 120}, {60, 60}, {100, 60}, 0},
                                           Drag{"over-the-edge", {20, 60}, {80, 120}, {60, 60}, 30},
                                           Drag{"click", {60, 60}, {60, 60}, {}, 0}),
                         [](const auto &info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

struct Step
{
    enum Kind { Press, Move, Release } kind;
    Qt::MouseButton button;
    QPoint at;
};

// Only the left button draws: a drag with another button draws and delivers
// nothing, and another button pressed and released during a left drag
// neither restarts nor ends it.
TEST(DrawingWindow, onlyTheLeftButtonDraws)
{
    widgetApplication();
    const struct
    {
        const char *name;
        std::vector<Step> steps;
        bool draws;
        std::optional<QSize> captured;
    } cases[] = {
        {"left drag",
         {{Step::Press, Qt::LeftButton, {60, 60}}, {Step::Move, Qt::NoButton, {160, 120}},
          {Step::Release, Qt::LeftButton, {160, 120}}},
         true, QSize(100, 60)},
        {"right drag",
         {{Step::Press, Qt::RightButton, {60, 60}}, {Step::Move, Qt::NoButton, {160, 120}},
          {Step::Release, Qt::RightButton, {160, 120}}},
         false, std::nullopt},
        {"middle drag",
         {{Step::Press, Qt::MiddleButton, {60, 60}}, {Step::Move, Qt::NoButton, {160, 120}},
          {Step::Release, Qt::MiddleButton, {160, 120}}},
         false, std::nullopt},
        {"right click during a left drag",
         {{Step::Press, Qt::LeftButton, {60, 60}}, {Step::Move, Qt::NoButton, {100, 100}},
          {Step::Press, Qt::RightButton, {100, 100}}, {Step::Move, Qt::NoButton, {120, 110}},
          {Step::Release, Qt::RightButton, {120, 110}}, {Step::Move, Qt::NoButton, {160, 120}},
          {Step::Release, Qt::LeftButton, {160, 120}}},
         true, QSize(100, 60)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        DrawingWindow window(QRect(50, 50, 400, 300));
        auto captures = std::make_shared<Captures>();
        captures->listenTo(window);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QWindow *handle = window.windowHandle();
        bool drew = false;
        for (const Step &step : c.steps) {
            if (step.kind == Step::Press)
                QTest::mousePress(handle, step.button, {}, step.at);
            else if (step.kind == Step::Move)
                QTest::mouseMove(handle, step.at);
            else
                QTest::mouseRelease(handle, step.button, {}, step.at);
            drew = drew || !window.outline().isEmpty();
        }
        EXPECT_EQ(drew, c.draws);
        // A left click last: its null capture comes after any the steps asked
        // for, since both wait the same delay.
        QTest::mouseClick(handle, Qt::LeftButton, {}, {10, 10});
        ASSERT_TRUE(spinUntil([&] { return !captures->images.empty() && captures->images.back().isNull(); }));
        ASSERT_EQ(captures->images.size(), c.captured ? 2u : 1u);
        if (c.captured) {
            EXPECT_EQ(captures->images.front().size(), *c.captured);
        }
    }
}

// A subclass that captures otherwise: the release hands its picture over.
TEST(DrawingWindow, aSubclassCapturesInItsOwnWay)
{
    widgetApplication();
    struct Solid : DrawingWindow
    {
        using DrawingWindow::DrawingWindow;
        mutable std::vector<QRect> asked;
        QImage captureImage(const QRect &rect) const override
        {
            asked.push_back(rect);
            QImage image(rect.size(), QImage::Format_RGB32);
            image.fill(known);
            return image;
        }
    } window(QRect(50, 50, 400, 300));
    auto captures = std::make_shared<Captures>();
    captures->listenTo(window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, {160, 120});
    QTest::mouseMove(window.windowHandle(), {60, 60});
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, {60, 60});
    ASSERT_TRUE(spinUntil([&] { return !captures->images.empty(); }));
    EXPECT_EQ(window.asked, std::vector<QRect>{QRect(60, 60, 100, 60)});
    EXPECT_EQ(captures->images.front().pixelColor(0, 0), known);
}

} // namespace
} // namespace faciward::helpers
