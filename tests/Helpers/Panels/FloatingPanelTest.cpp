#include "Helpers/Panels/FloatingPanel.h"
#include "Helpers/Panels/FloatingPanelManager.h"
#include "Helpers/Panels/FloatingPanelView.h"

#include "tests/support/ColourSchemes.h"
#include "tests/support/Guards.h"
#include "tests/support/WidgetApplication.h"

#include <QApplication>
#include <QLabel>
#include <QMimeData>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <QTranslator>
#include <QtMath>

#include <gtest/gtest.h>

namespace faciward::helpers {
namespace {

using faciward::testing::grabWidget;
using faciward::testing::TempDir;
using faciward::testing::widgetApplication;

QPixmap picture(QColor colour)
{
    QPixmap pixmap(200, 100);
    pixmap.fill(colour);
    return pixmap;
}

class FloatingPanelTest : public ::testing::Test
{
protected:
    void SetUp() override { widgetApplication(); }
    // Deleted panels go at the next turn of the event loop.
    static bool deleted(const QPointer<FloatingPanel> &panel)
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return panel.isNull();
    }
    faciward::testing::ExpectStderr m_offscreen{"This plugin does not support (setting window masks|raise\\(\\))"};
    QRect available() const { return QGuiApplication::primaryScreen()->availableGeometry(); }
    int removedAll = 0;
    std::shared_ptr<FloatingPanelManager> manager =
        FloatingPanelManager::create([this](FloatingPanelManager &told) {
            EXPECT_EQ(&told, manager.get());
            ++removedAll;
        });
    const QUrl first = QUrl::fromLocalFile(QStringLiteral("/tmp/first.png"));
    const QUrl second = QUrl::fromLocalFile(QStringLiteral("/tmp/second.png"));
};

TEST_F(FloatingPanelTest, stacksFromTheLowerLeftSizedToTheCard)
{
    manager->showPanels(picture(Qt::red), first, picture(Qt::blue), second);
    ASSERT_EQ(manager->panelCount(), 2u);
    const QRect lower = manager->panel(first)->geometry();
    const QRect upper = manager->panel(second)->geometry();
    EXPECT_EQ(lower, QRect(available().left() + 20, available().bottom() + 1 - 80 - 200, 200, 200));
    EXPECT_EQ(upper, lower.translated(0, -222));
    EXPECT_TRUE(manager->panel(first)->isVisible());
    grabWidget(*manager->panel(first), "floating-panel");

    // A second intent without its address shows one panel only.
    auto single = FloatingPanelManager::create();
    single->showPanels(picture(Qt::red), first, picture(Qt::blue), std::nullopt);
    EXPECT_EQ(single->panelCount(), 1u);
}

TEST_F(FloatingPanelTest, theSameAddressAgainReplacesAndHidesTheOldPanel)
{
    manager->showPanel(picture(Qt::red), first, {100, 500});
    QPointer<FloatingPanel> old = manager->panel(first);
    manager->showPanel(picture(Qt::blue), first, {100, 500});
    EXPECT_EQ(manager->panelCount(), 1u);
    EXPECT_TRUE(deleted(old)) << "the old panel is deleted, not orphaned";
    EXPECT_EQ(removedAll, 0);
}

TEST_F(FloatingPanelTest, tellsTheDelegateWheneverNoPanelIsLeft)
{
    manager->showPanels(picture(Qt::red), first, picture(Qt::blue), second);
    const struct
    {
        QUrl key;
        std::size_t left;
        int told;
    } steps[] = {{first, 1, 0}, {second, 0, 1}, {second, 0, 2}};
    for (const auto &step : steps) {
        manager->removePanel(step.key);
        EXPECT_EQ(manager->panelCount(), step.left);
        EXPECT_EQ(removedAll, step.told);
    }
}

TEST_F(FloatingPanelTest, theCloseButtonRemovesThePanelOnce)
{
    manager->showPanel(picture(Qt::red), first, {100, 500});
    QPointer<FloatingPanel> panel = manager->panel(first);
    auto *close = panel->findChild<QToolButton *>(QStringLiteral("closeButton"));
    ASSERT_NE(close, nullptr);
    QTest::mouseClick(close, Qt::LeftButton);
    EXPECT_EQ(manager->panelCount(), 0u);
    EXPECT_EQ(removedAll, 1);
    EXPECT_TRUE(deleted(panel));
}

// showPanels() opens each panel through showPanel(), and a card's close goes
// through removePanel(): a subclass's overrides run.
TEST_F(FloatingPanelTest, aSubclassOverridesEveryOperation)
{
    struct Recording : FloatingPanelManager
    {
        std::vector<std::string> calls;
        void showPanel(ClippedImage::Intent intent, const QUrl &url, QPoint lowerLeft) override
        {
            calls.push_back("show " + url.fileName().toStdString() + " at " + std::to_string(lowerLeft.y()));
            FloatingPanelManager::showPanel(std::move(intent), url, lowerLeft);
        }
        void removePanel(const QUrl &key) override
        {
            calls.push_back("remove " + key.fileName().toStdString());
            FloatingPanelManager::removePanel(key);
        }
    };
    auto recording = std::make_shared<Recording>();
    recording->showPanels(picture(Qt::red), first, picture(Qt::blue), second);
    const int lowest = available().bottom() + 1 - 80;
    QTest::mouseClick(recording->panel(second)->findChild<QToolButton *>(QStringLiteral("closeButton")),
                      Qt::LeftButton);
    EXPECT_EQ(recording->calls, (std::vector<std::string>{"show first.png at " + std::to_string(lowest),
                                                          "show second.png at " + std::to_string(lowest - 222),
                                                          "remove second.png"}));
    EXPECT_EQ(recording->panelCount(), 1u);
}

// The close button stays on the card's top left corner and the caption at its
// bottom, whatever the card's width.
TEST(FloatingPanelView, keepsTheCloseButtonAndCaptionOnAWideCard)
{
    widgetApplication();
    for (const int width : {200, 300}) {
        FloatingPanelView view({picture(Qt::red), QSize(width, 200), QUrl()}, 22, [] {});
        const auto *close = view.findChild<QToolButton *>(QStringLiteral("closeButton"));
        const auto *caption = view.findChild<QLabel *>(QStringLiteral("caption"));
        EXPECT_EQ(close->geometry(), QRect(14, 10, 28, 28)) << width;
        EXPECT_EQ(caption->geometry().bottom() + 1, 200 - 8) << width;
        EXPECT_NEAR(caption->x() + caption->width() / 2.0, width / 2.0, 0.5) << width;
    }
}

TEST(FloatingPanelView, aDragRemovesThePanelFirstThenHandsOverTheFile)
{
    widgetApplication();
    TempDir dir;
    const QString existing = QString::fromStdString((dir / "shot.png").string());
    picture(Qt::green).save(existing);
    // The 2:1 picture is drawn 184x92 in the card's 184x184 inset, from y = 54
    // to 146: a press above it is on the empty card.
    const struct
    {
        QString file;
        QPoint pressAt;
        bool removed, dragged;
    } cases[] = {{existing, {100, 100}, true, true},
                 {QString::fromStdString((dir / "gone.png").string()), {100, 100}, true, false},
                 {existing, {100, 30}, false, false},
                 {existing, {100, 150}, false, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pressAt.y());
        std::vector<std::string> events;
        QList<QUrl> handedOver;
        FloatingPanelView view({picture(Qt::green), QSize(200, 200), QUrl::fromLocalFile(c.file)}, 22,
                               [&] { events.push_back("removed"); });
        view.setDragStarter([&](std::unique_ptr<QMimeData> data) {
            events.push_back("dragged");
            handedOver = data->urls();
        });
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        QWindow *handle = view.windowHandle();
        QTest::mousePress(handle, Qt::LeftButton, {}, c.pressAt);
        QTest::mouseMove(handle, c.pressAt + QPoint(QApplication::startDragDistance() + 5, 0));
        std::vector<std::string> expected;
        if (c.removed)
            expected.push_back("removed");
        if (c.dragged)
            expected.push_back("dragged");
        EXPECT_EQ(events, expected) << c.file.toStdString();
        if (c.dragged) {
            EXPECT_EQ(handedOver, QList<QUrl>{QUrl::fromLocalFile(c.file)});
        }
        QTest::mouseRelease(handle, Qt::LeftButton, {}, c.pressAt);
    }
}

// Stands for a language whose words for the caption are far longer than the
// card is wide.
class LongCaptionTranslation : public QTranslator
{
public:
    static constexpr const char *text = "Ziehen Sie das Bild mit der Maus an die Stelle, an der Sie es ablegen wollen";
    QString translate(const char *, const char *source, const char *, int) const override
    {
        return QByteArray(source) == "Drag and Drop the image" ? QString::fromLatin1(text) : QString();
    }
    bool isEmpty() const override { return false; }
};

// The caption is a capsule: rounded at half its height on one line and at
// most 20 when a long translation wraps (never cut). The close symbol is as
// large as a line of the caption, centred in its 28x28 frame. Probed over a
// picture that fills the card's inset area, in both schemes.
TEST(FloatingPanelView, drawsItsCaptionAsACapsuleAndItsCloseSymbolAtTheCaptionSize)
{
    widgetApplication();
    const QColor green(40, 200, 80);
    QPixmap square(200, 200);
    square.fill(green);
    for (const bool translated : {false, true}) {
        SCOPED_TRACE(translated ? "long translation" : "one line");
        LongCaptionTranslation translation;
        if (translated)
            QCoreApplication::installTranslator(&translation);
        // In a parent, as in its panel, with room for the shadow.
        QWidget host;
        host.resize(210, 210);
        auto *view = new FloatingPanelView({square, QSize(200, 200), QUrl()}, 22, [] {}, &host);
        QCoreApplication::removeTranslator(&translation);
        const auto *caption = view->findChild<QLabel *>(QStringLiteral("caption"));
        ASSERT_NE(caption, nullptr);
        const QImage image = testing::grabInBothSchemes(
            host, translated ? "floating-panel-view-long-caption" : "floating-panel-view");

        const QRect box = caption->geometry();
        const int line = QFontMetrics(caption->font()).height();
        EXPECT_EQ(box.bottom() + 1, 200 - 8);
        EXPECT_LE(box.width(), 200 - 2 * 8);
        EXPECT_GE(box.height(), caption->heightForWidth(box.width())) << "the text is not cut";
        if (translated) {
            EXPECT_EQ(caption->text(), QString::fromLatin1(LongCaptionTranslation::text));
            EXPECT_GE(box.height(), 2 * line + 4) << "wrapped";
        } else {
            EXPECT_LT(box.height(), 2 * line + 4) << "one line";
        }
        const qreal radius = std::min(20.0, box.height() / 2.0);
        const QColor capsule = testing::blendOver(QColor(0, 0, 0, 204), green);
        // The corner is cut round; the edges' middles and the centre are the capsule's.
        EXPECT_TRUE(testing::coloursNear(image.pixelColor(box.topLeft() + QPoint(1, 1)), green, 8));
        EXPECT_TRUE(testing::coloursNear(image.pixelColor(box.left() + 1, box.center().y()), capsule, 8));
        EXPECT_TRUE(testing::coloursNear(image.pixelColor(box.left() + qRound(radius) + 1, box.top() + 1), capsule, 8));
        EXPECT_FALSE(testing::coloursNear(image.pixelColor(box.topLeft() + QPoint(qFloor(radius * 0.25), qFloor(radius * 0.25))), capsule, 40));

        // The white of the close symbol: its extent and its centre.
        QRect symbol;
        for (int y = FloatingPanelView::closeButtonRect.top(); y <= FloatingPanelView::closeButtonRect.bottom(); ++y)
            for (int x = FloatingPanelView::closeButtonRect.left(); x <= FloatingPanelView::closeButtonRect.right(); ++x)
                if (qGray(image.pixel(x, y)) > 200 && qRed(image.pixel(x, y)) > 200)
                    symbol |= QRect(x, y, 1, 1);
        EXPECT_NEAR(symbol.height(), line, 2);
        EXPECT_NEAR(symbol.center().x(), FloatingPanelView::closeButtonRect.center().x(), 1);
        EXPECT_NEAR(symbol.center().y(), FloatingPanelView::closeButtonRect.center().y(), 1);
    }
}

// A translation is looked up under the class that asks for it: a translator
// that knows the caption only under "faciward::helpers::FloatingPanelView"
// (the qualified name is the context) reaches the caption,
// and one that knows it under the base class "QWidget" does not.
class ContextTranslation : public QTranslator
{
public:
    explicit ContextTranslation(const char *context)
        : m_context(context)
    {
    }
    QString translate(const char *context, const char *source, const char *, int) const override
    {
        if (QByteArray(context) == m_context && QByteArray(source) == "Drag and Drop the image")
            return QStringLiteral("Bild ziehen und ablegen");
        return QString();
    }
    bool isEmpty() const override { return false; }

private:
    QByteArray m_context;
};

TEST(FloatingPanelView, findsTheCaptionsTranslationUnderItsOwnClassName)
{
    widgetApplication();
    const struct
    {
        const char *context;
        const char16_t *caption;
    } table[] = {
        {"faciward::helpers::FloatingPanelView", u"Bild ziehen und ablegen"},
        {"QWidget", u"Drag and Drop the image"},
    };
    for (const auto &row : table) {
        SCOPED_TRACE(row.context);
        ContextTranslation translation(row.context);
        QCoreApplication::installTranslator(&translation);
        FloatingPanelView view({picture(Qt::green), QSize(200, 100), QUrl()}, 22, [] {});
        QCoreApplication::removeTranslator(&translation);
        const auto *caption = view.findChild<QLabel *>(QStringLiteral("caption"));
        ASSERT_NE(caption, nullptr);
        EXPECT_EQ(caption->text(), QString::fromUtf16(row.caption));
    }
}

} // namespace
} // namespace faciward::helpers
