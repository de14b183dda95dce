#include "Helpers/Core/HexColor.h"
#include "Helpers/Core/HostedIcon.h"
#include "Helpers/Core/Screen.h"
#include "Helpers/Core/UserInteractionPausableWindow.h"

#include "tests/support/WidgetApplication.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
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
    };
    for (const auto &[hex, rgba] : table)
        EXPECT_EQ(colorFromHex(QStringView(hex)).rgba(), rgba) << QString::fromUtf16(hex).toStdString();
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

} // namespace
} // namespace faciward::helpers
