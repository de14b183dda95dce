#include "Helpers/Core/MainQueue.h"
#include "Helpers/Core/WindowFades.h"
#include "Helpers/Windows/HostingWindowCoordinator.h"
#include "tests/support/OffscreenTest.h"
#include "tests/support/Settle.h"
#include "tests/support/ColourSchemes.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QScreen>
#include <QSizeGrip>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <cctype>
#include <stdexcept>

namespace faciward::helpers {
namespace {

using testing::settle;
using testing::spinUntil;
constexpr double kAlphaStep = 1.0 / 255; // window opacity round-trips in 8 bits

// A case's name as a screenshot's file name.
std::string slug(std::string name)
{
    for (char &c : name)
        c = std::isalnum(static_cast<unsigned char>(c)) ? c : '-';
    return name;
}

// Unsupported ways to make these types are simply not there.
static_assert(!std::is_constructible_v<HostingWindowController, QWidget *>);
static_assert(!std::is_default_constructible_v<HostingWindowController>);
static_assert(std::is_abstract_v<HostingWindowCoordinator>);

class Welcome : public HostingWindowCoordinator
{
public:
    using Configure = std::function<std::optional<WindowConfiguration>()>;
    Welcome(int &finished, Configure configure = nullptr, QWidget *window = nullptr)
        : HostingWindowCoordinator(window, true, [&finished](Coordinator &) { ++finished; })
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

// The close button asks its owner each time, on a later turn: no keeps the
// window, yes hides it, and so does a question that throws.
TEST_F(HostingWindowTest, theDelegateDecidesAndAThrowCountsAsYes)
{
    for (const int answer : {0, 1, -1}) {
        SCOPED_TRACE(answer);
        int asked = 0;
        auto shouldClose = [&asked, answer]() -> bool {
            return ++asked, answer < 0 ? throw std::runtime_error("no answer") : answer;
        };
        HostingWindowController controller(nullptr, new QLabel(QStringLiteral("Face configuration")), {}, shouldClose);
        controller.window()->show();
        controller.window()->close();
        controller.window()->close();
        EXPECT_TRUE(spinUntil([&] { return asked == 2 && (!answer || !controller.window()->isVisible()); }));
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
    auto nativeTitle = [](std::vector<WindowButton> hidden) {
        WindowConfiguration made;
        made.hiddingButtons = std::move(hidden);
        made.titleVisibility = TitleVisibility::Visible;
        made.titlebarAppearsTransparent = false;
        return made;
    };
    struct Case {
        const char *name;
        std::optional<WindowConfiguration> configuration;
        bool frameless, resizable, titleShown;
        std::set<WindowButton> buttons;
        bool given = false; // a window of the caller's, resizable, with the usual title bar
    } const cases[] = {
        {"none", std::nullopt, false, false, true, {B::Close}},
        {"three hidden buttons", configuration({B::Close, B::Miniaturize, B::Zoom}, {}), true, false, false, {}},
        {"hide title bar", configuration({}, WindowConfiguration::hideTitleBar), true, true, false,
         {B::Close, B::Miniaturize, B::Zoom}},
        {"the application's", configuration({}, WindowStyleMask(QFlag(0x8003))), true, false, false, {B::Close}},
        // No title bar to make transparent: no strip, and nothing to draw it on.
        {"borderless", configuration({}, WindowStyle::Closable | WindowStyle::Resizable), true, true, false, {}},
        {"given, two hidden buttons", nativeTitle({B::Close, B::Zoom}), false, true, true, {B::Miniaturize}, true},
    };
    EXPECT_EQ(WindowConfiguration::hideTitleBar.toInt(), 0x800F);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<QWidget> given(c.given ? new QWidget : nullptr);
        auto welcome = std::make_shared<Welcome>(finished, [&] { return c.configuration; }, given.get());
        QWidget *window = startShown(welcome);
        const HostingWindowController &controller = *welcome->windowController();
        testing::grabInBothSchemes(*window, "hosting-window-" + slug(c.name));
        if (TitleStrip *strip = controller.titleStrip(); strip && !c.buttons.empty()) {
            // The strip shows minimise, zoom and close in that order, at its end.
            const B rightmost = c.buttons.count(B::Close) ? B::Close : *c.buttons.rbegin();
            EXPECT_GE(strip->button(rightmost)->geometry().right(), strip->width() - 8);
            // Each glyph is drawn in the text colour of the scheme shown, the dark one too.
            QApplication::setPalette(testing::darkPalette());
            for (const B b : c.buttons) {
                const QImage glyph = strip->button(b)->icon().pixmap(TitleStrip::kGlyphSize).toImage();
                int inked = 0;
                for (int y = 0; y < glyph.height(); ++y)
                    for (int x = 0; x < glyph.width(); ++x)
                        inked += testing::coloursNear(glyph.pixelColor(x, y),
                                                      strip->palette().color(QPalette::WindowText), 8);
                EXPECT_GE(inked, 8) << "button " << static_cast<int>(b);
            }
            QApplication::setPalette(testing::lightPalette());
        }
        EXPECT_EQ(window->windowFlags().testFlag(Qt::FramelessWindowHint), c.frameless);
        EXPECT_EQ(window->layout()->sizeConstraint() == QLayout::SetFixedSize, !c.resizable);
        EXPECT_EQ(window->minimumSize() == window->maximumSize(), !c.resizable);
        // Without the window manager's frame, the grip is what resizes the window.
        QSizeGrip *grip = controller.sizeGrip();
        EXPECT_EQ(grip != nullptr, c.frameless && c.resizable);
        if (grip) {
            testing::ExpectStderr pastTheEdge("occurs outside target window"); // a drag that enlarges it
            const QSize before = window->size();
            const QPoint at = grip->mapTo(window, grip->rect().center());
            QTest::mousePress(window->windowHandle(), Qt::LeftButton, {}, at);
            QTest::mouseMove(window->windowHandle(), at + QPoint(40, 30));
            QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, {}, at + QPoint(40, 30));
            EXPECT_EQ(window->size(), before + QSize(40, 30));
            EXPECT_EQ(grip->mapTo(window, QPoint(grip->width(), grip->height())),
                      QPoint(window->width(), window->height())) << "in the corner";
        }
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
        welcome.reset();
        settle(); // the controller lets go of a given window before its owner deletes it
        finished = 0;
    }
}

// finish() reports every time, on a later turn, with or without a window.
TEST_F(HostingWindowTest, everyFinishReportsOnce)
{
    for (const bool started : {false, true}) {
        for (const int finishes : {1, 2}) {
            SCOPED_TRACE(::testing::Message() << "started " << started << ", finishes " << finishes);
            finished = 0;
            auto welcome = std::make_shared<Welcome>(finished);
            QWidget *window = started ? startShown(welcome) : nullptr;
            for (int i = 0; i < finishes; ++i)
                welcome->finish();
            EXPECT_EQ(finished, 0) << "finish() only posts";
            settle();
            EXPECT_EQ(finished, finishes);
            if (window) {
                ASSERT_TRUE(spinUntil([&] { return !window->isVisible(); }));
                EXPECT_NEAR(window->windowOpacity(), 1.0, kAlphaStep);
            }
        }
    }
}

// A fade-out that another fade of the window replaces never ends by itself:
// what it held (the controller's owner, the close button's "already fading")
// must still be let go, or the close button would never hide the window again.
TEST_F(HostingWindowTest, aReplacedFadeOutStillLetsGo)
{
    const std::pair<const char *, std::function<void(HostingWindowController &)>> replacers[] = {
        {"shown again", [](HostingWindowController &c) { c.showWindowFadingIn(); }},
        {"closed at once", [](HostingWindowController &c) { c.closeWindow(std::chrono::seconds(0)); }},
    };
    for (const auto &[name, replace] : replacers) {
        SCOPED_TRACE(name);
        HostingWindowController controller(nullptr, new QLabel(QStringLiteral("Welcome")));
        QWidget &window = *controller.window();
        window.show();
        auto owner = std::make_shared<int>();
        const std::weak_ptr<int> watch = owner;
        controller.hideWindowFadingOut(std::move(owner));
        ASSERT_TRUE(spinUntil([&] { return window.windowOpacity() < 0.9; }));
        replace(controller);
        EXPECT_TRUE(spinUntil([&] { return watch.expired(); })) << "the owner is let go";
        ASSERT_TRUE(spinUntil([&] { return !runningFade(window); }));
        window.show();
        window.close(); // the close button
        EXPECT_TRUE(spinUntil([&] { return !window.isVisible(); }));
        EXPECT_NEAR(window.windowOpacity(), 1.0, kAlphaStep);
    }
}

// The toolbar: none for no items; an identifier stands for its first item,
// whose action a tap runs; labels are literal.
TEST_F(HostingWindowTest, toolbarTable)
{
    struct Item {
        const char *identifier, *label; // no label: a flexible space
    };
    struct Case {
        const char *name;
        std::vector<Item> items;
        std::vector<QString> shown; // the toolbar's entries, "" for a space; none: no toolbar
    } const cases[] = {
        {"empty", {}, {}},
        {"repeated identifier", {{"save", "Save & Close"}, {"share", "Share"}, {"save", "Save twice"}},
         {"Save & Close", "Share"}},
        {"spaces", {{"save", "Save"}, {"space", nullptr}, {"share", "Share"}}, {"Save", "", "Share"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::map<QString, int> taps;
        std::vector<std::shared_ptr<ToolbarItem>> items;
        for (const Item &item : c.items) {
            const QString label = item.label ? QString::fromUtf8(item.label) : QString();
            if (item.label)
                items.push_back(std::make_shared<CustomToolbarItem>(QString::fromUtf8(item.identifier), label,
                                                                    QString(), QIcon(), [&taps, label] { ++taps[label]; }));
            else
                items.push_back(std::make_shared<FlexibleToolbarItem>(QString::fromUtf8(item.identifier)));
        }
        HostingWindowController controller(nullptr, new QLabel(QStringLiteral("Preferences")), items);
        QToolBar *toolbar = controller.toolbar();
        ASSERT_EQ(toolbar != nullptr, !c.shown.empty());
        if (!toolbar)
            continue;
        std::vector<QString> shown;
        for (QAction *action : toolbar->actions())
            shown.push_back(action->iconText()); // what the button shows
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(controller.toolbarItem(QStringLiteral("save")), items.front()->toolbarItem());
        for (QAction *action : toolbar->actions())
            action->trigger();
        for (const QString &label : c.shown)
            EXPECT_EQ(taps[label], label.isEmpty() ? 0 : 1) << qPrintable(label);
        EXPECT_EQ(taps[QStringLiteral("Save twice")], 0);
        controller.window()->show();
        testing::grabInBothSchemes(*controller.window(), "hosting-window-toolbar-" + slug(c.name));
    }
}

// A window given by the caller keeps its own style: only the content and the
// close button's route are the controller's.
TEST_F(HostingWindowTest, aGivenWindowKeepsItsStyle)
{
    QWidget window(nullptr, Qt::Window | Qt::WindowStaysOnTopHint);
    window.setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
    (new QVBoxLayout(&window))->addWidget(new QLabel(QStringLiteral("Before")));
    window.resize(300, 200);
    window.show();
    const Qt::WindowFlags flags = window.windowFlags();
    HostingWindowController controller(&window, new QLabel(QStringLiteral("Face configuration")));
    settle();
    EXPECT_EQ(window.windowFlags(), flags);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.sizePolicy(), QSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum));
    window.resize(420, 260); // still resizable
    settle();
    EXPECT_EQ(window.size(), QSize(420, 260));
    window.close();
    EXPECT_TRUE(spinUntil([&] { return !window.isVisible(); })) << "the close button hides it";
}

// The hosting controller is a WindowController that qobject_cast can tell apart.
TEST(HostingWindowControllerTest, carriesItsOwnMetaObject)
{
    EXPECT_STREQ(HostingWindowController::staticMetaObject.className(), "faciward::helpers::HostingWindowController");
    EXPECT_EQ(HostingWindowController::staticMetaObject.superClass(), &WindowController::staticMetaObject);
}

} // namespace
} // namespace faciward::helpers
