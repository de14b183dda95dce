#include "Helpers/Core/MainQueue.h"
#include "Helpers/Popover/HostingWindowCoordinator.h"
#include "OffscreenTest.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QScreen>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <stdexcept>

namespace faciward::helpers {
namespace {

using testing::spinUntil;
constexpr double kAlphaStep = 1.0 / 255; // window opacity round-trips in 8 bits

// Unsupported ways to make these types are simply not there.
static_assert(!std::is_constructible_v<HostingWindowController, QWidget *>);
static_assert(!std::is_default_constructible_v<HostingWindowController>);
static_assert(std::is_abstract_v<HostingWindowCoordinator>);

class Welcome : public HostingWindowCoordinator
{
public:
    using Configure = std::function<std::optional<WindowConfiguration>()>;
    Welcome(int &finished, Configure configure = nullptr)
        : HostingWindowCoordinator(nullptr, true, [&finished](Coordinator &) { ++finished; })
        , m_configure(std::move(configure))
    {
    }

protected:
    QWidget *contentWidget() override
    {
        auto *content = new QLabel(QStringLiteral("Welcome"));
        content->setFixedSize(320, 200);
        return content;
    }
    std::optional<WindowConfiguration> windowConfiguration() override
    {
        return m_configure ? m_configure() : HostingWindowCoordinator::windowConfiguration();
    }

private:
    Configure m_configure;
};

// Counts the fades started on a window: each is an animation made as its
// child (not yet constructed when its parent hears of it, so no cast).
struct FadeCounter : QObject {
    int fades = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::ChildAdded)
            fades += !static_cast<QChildEvent *>(event)->child()->isWidgetType();
        return false;
    }
};

class HostingWindowTest : public testing::OffscreenTest
{
protected:
    QWidget *startShown(const std::shared_ptr<Welcome> &welcome)
    {
        const HostingWindowController *former = welcome->windowController();
        welcome->start();
        EXPECT_EQ(welcome->windowController(), former) << "start() only posts";
        EXPECT_TRUE(spinUntil([&] {
            auto *controller = welcome->windowController();
            return controller && controller != former && controller->window()->isVisible() &&
                   std::abs(controller->window()->windowOpacity() - 1.0) <= kAlphaStep;
        }));
        return welcome->windowController()->window();
    }

    int finished = 0;
};

TEST_F(HostingWindowTest, floatsCentredAndTheCloseButtonFadesOutOnce)
{
    auto welcome = std::make_shared<Welcome>(finished);
    QWidget *window = startShown(welcome);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_NEAR(window->frameGeometry().center().x(), area.center().x(), 1);
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));

    FadeCounter counter;
    window->installEventFilter(&counter);
    window->close();
    ASSERT_TRUE(spinUntil([&] { return !window->isVisible(); }));
    spinUntil([&] { return finished > 0; });
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(counter.fades, 1);
    EXPECT_NEAR(window->windowOpacity(), 1.0, kAlphaStep) << "hidden, not closed, ready to come back";
    window->removeEventFilter(&counter);
}

TEST_F(HostingWindowTest, theRunningFadeKeepsTheWindowWhenTheParentLetsGo)
{
    auto welcome = std::make_shared<Welcome>(finished);
    QPointer<QWidget> window = startShown(welcome);
    welcome->finish();
    welcome.reset(); // what the parent's completion does
    ASSERT_TRUE(spinUntil([&] { return finished == 1; }));
    ASSERT_TRUE(window && window->isVisible()) << "still fading out";
    ASSERT_TRUE(spinUntil([&] { return !window || !window->isVisible(); }));
    EXPECT_TRUE(window) << "hidden by its fade before it went";
    EXPECT_TRUE(spinUntil([&] { return !window; }));
}

TEST_F(HostingWindowTest, aSecondStartLetsTheFirstWindowGo)
{
    auto welcome = std::make_shared<Welcome>(finished);
    QPointer<QWidget> first = startShown(welcome);
    QWidget *second = startShown(welcome);
    EXPECT_NE(second, first.data());
    EXPECT_TRUE(spinUntil([&] { return !first; }));
}

// The close button asks the delegate each time, on a later turn: no keeps the
// window, yes hides it, and so does a delegate that throws.
TEST_F(HostingWindowTest, theDelegateDecidesAndAThrowCountsAsYes)
{
    struct Delegate : HostingWindowControllerDelegate {
        int answer = 0, asked = 0;
        bool shouldClose() override { return ++asked, answer < 0 ? throw std::runtime_error("no answer") : answer; }
    };
    for (const int answer : {0, 1, -1}) {
        SCOPED_TRACE(answer);
        auto delegate = std::make_shared<Delegate>();
        delegate->answer = answer;
        HostingWindowController controller(nullptr, new QLabel(QStringLiteral("Face configuration")));
        controller.setDelegate(delegate);
        controller.window()->show();
        controller.window()->close();
        controller.window()->close();
        EXPECT_TRUE(spinUntil([&] { return delegate->asked == 2 && (!answer || !controller.window()->isVisible()); }));
        EXPECT_EQ(controller.window()->isVisible(), answer == 0);
        EXPECT_NEAR(controller.window()->windowOpacity(), 1.0, kAlphaStep);
    }
}

// The window's chrome for each way the flows configure it.
TEST_F(HostingWindowTest, configurationsGiveTheirChrome)
{
    using B = WindowButton;
    auto configuration = [](std::vector<WindowButton> hidden, std::optional<WindowStyleMask> mask) {
        WindowConfiguration made;
        made.hiddingButtons = std::move(hidden);
        made.styleMask = mask;
        return made;
    };
    struct Case {
        const char *name;
        std::optional<WindowConfiguration> configuration;
        bool frameless, resizable, titleShown;
        std::set<WindowButton> buttons;
    } const cases[] = {
        {"none", std::nullopt, false, false, true, {B::Close}},
        {"three hidden buttons", configuration({B::Close, B::Miniaturize, B::Zoom}, {}), true, false, false, {}},
        {"hide title bar", configuration({}, WindowConfiguration::hideTitleBar), true, true, false,
         {B::Close, B::Miniaturize, B::Zoom}},
        {"the application's", configuration({}, WindowStyleMask(QFlag(0x8003))), true, false, false, {B::Close}},
    };
    EXPECT_EQ(WindowConfiguration::hideTitleBar.toInt(), 0x800F);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto welcome = std::make_shared<Welcome>(finished, [&] { return c.configuration; });
        QWidget *window = startShown(welcome);
        const HostingWindowController &controller = *welcome->windowController();
        EXPECT_EQ(window->windowFlags().testFlag(Qt::FramelessWindowHint), c.frameless);
        EXPECT_EQ(window->layout()->sizeConstraint() == QLayout::SetFixedSize, !c.resizable);
        std::set<WindowButton> buttons;
        if (TitleStrip *strip = controller.titleStrip()) {
            EXPECT_EQ(strip->isTitleShown(), c.titleShown);
            for (B b : {B::Close, B::Miniaturize, B::Zoom})
                if (strip->button(b))
                    buttons.insert(b);
            // No window manager to ask here: the strip drags the window itself.
            const QPoint grip = strip->mapTo(window, QPoint(2, 2)), before = window->pos();
            QTest::mousePress(window->windowHandle(), Qt::LeftButton, {}, grip);
            QTest::mouseMove(window->windowHandle(), grip + QPoint(30, 20));
            QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, {}, grip); // the window came along
            EXPECT_EQ(window->pos(), before + QPoint(30, 20));
        } else {
            EXPECT_EQ(window->windowFlags().testFlag(Qt::WindowTitleHint), c.titleShown);
            const std::pair<Qt::WindowType, B> hints[] = {{Qt::WindowCloseButtonHint, B::Close},
                                                          {Qt::WindowMinimizeButtonHint, B::Miniaturize},
                                                          {Qt::WindowMaximizeButtonHint, B::Zoom}};
            for (const auto &[hint, b] : hints)
                if (window->windowFlags().testFlag(hint))
                    buttons.insert(b);
        }
        EXPECT_EQ(buttons, c.buttons);
        if (auto *close = controller.titleStrip() ? controller.titleStrip()->button(B::Close) : nullptr) {
            close->click();
            EXPECT_TRUE(spinUntil([&] { return !window->isVisible() && finished > 0; })) << "routed to quit()";
        }
        finished = 0;
    }
}

} // namespace
} // namespace faciward::helpers
