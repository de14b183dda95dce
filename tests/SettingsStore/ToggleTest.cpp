#include "Platform/Settings/SettingsFile.h"
#include "SettingsStore/Prefs.h"
#include "SettingsStore/Qt/Toggle.h"
#include "tests/support/ColourSchemes.h"
#include "tests/support/WidgetApplication.h"
#include "tests/support/Guards.h"

#include <QApplication>
#include <QLabel>
#include <QStyle>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace faciward::prefs {
namespace {

using faciward::testing::spinUntil;
using faciward::testing::widgetApplication;
using platform::PlistValue;
using platform::SettingsStore;

class ToggleTest : public ::testing::Test
{
protected:
    void SetUp() override { widgetApplication(); }

    // The action's calls: the value, and whether on the main thread.
    std::function<void(bool)> recorder()
    {
        return [this](bool value) {
            actions.push_back(value);
            actionsOnMain.push_back(QThread::currentThread() == widgetApplication().thread());
        };
    }

    static void click(QWidget &widget, QPoint at)
    {
        QTest::mouseClick(&widget, Qt::LeftButton, Qt::NoModifier, at);
    }

    faciward::testing::TempDir dir{"faciward-toggle"};
    std::shared_ptr<SettingsStore> store = std::make_shared<SettingsStore>(dir / "settings.json");
    const Key<bool> enabled{"enabled", false, store};
    std::vector<bool> actions;
    std::vector<bool> actionsOnMain;
};

TEST_F(ToggleTest, showsTheStoredValueAndTitleAndFollowsChangesMadeElsewhere)
{
    faciward::testing::ExpectStderr undecodable("does not hold a value of its type; its default is used$");
    const Key<bool> on("on", true, store);
    EXPECT_TRUE(Toggle("On", on).isChecked()); // never written: the default
    ASSERT_TRUE(store->setObject("enabled", PlistValue("true"))); // text: read as its JSON
    Toggle toggle("Lock & save", enabled);
    EXPECT_TRUE(toggle.isChecked());
    EXPECT_EQ(toggle.text(), QString("Lock && save")) << "a single '&' would mark a shortcut and vanish";
    ASSERT_TRUE(store->setObject("enabled", PlistValue("not json")));
    EXPECT_FALSE(toggle.isChecked()) << "unconvertible: the default";
    int replaced = 0;
    toggle.onChange([&](bool) { ++replaced; }).onChange(recorder());
    Toggle silent("Enabled too", enabled); // no action: nothing to call
    ASSERT_TRUE(Prefs::set(enabled, true));
    EXPECT_TRUE(toggle.isChecked());
    EXPECT_TRUE(silent.isChecked());
    ASSERT_TRUE(Prefs::set(enabled, true)); // the same value again
    ASSERT_TRUE(enabled.reset());
    EXPECT_FALSE(toggle.isChecked());
    toggle.onChange({});
    ASSERT_TRUE(Prefs::set(enabled, true));
    EXPECT_EQ(actions, (std::vector<bool>{true, false}));
    EXPECT_EQ(replaced, 0);
}

TEST_F(ToggleTest, eachClickWritesTheKeyAndRunsTheActionOnce)
{
    Toggle toggle("Enabled", enabled);
    toggle.onChange(recorder());
    int willChange = 0;
    QObject::connect(&toggle.observable(), &ObservableBase::willChange, &toggle, [&] { ++willChange; });
    toggle.resize(toggle.sizeHint());
    toggle.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&toggle));

    for (int i = 0; i < 3; ++i)
        click(toggle, toggle.rect().center());
    EXPECT_EQ(actions, (std::vector<bool>{true, false, true}));
    EXPECT_TRUE(toggle.isChecked());
    EXPECT_EQ(Prefs::get(enabled), true);
    EXPECT_EQ(willChange, 6) << "twice before each write";
}

TEST_F(ToggleTest, aClickWhoseWriteFailsShowsWhatIsStoredAgain)
{
    faciward::testing::ExpectStderr expected("could not be saved");
    Toggle toggle("Enabled", enabled);
    toggle.onChange(recorder());
    toggle.resize(toggle.sizeHint());
    toggle.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&toggle));

    store->setWriteInterruption([](platform::SettingsFile::WriteStep) { return true; });
    click(toggle, toggle.rect().center());
    store->setWriteInterruption({});
    EXPECT_FALSE(toggle.isChecked());
    EXPECT_TRUE(actions.empty());
    EXPECT_EQ(expected.matched(), 1);
}

// A toggle labelled by a widget: the label sits beside the box, wholly inside the
// toggle, and a click anywhere on the toggle, the label included, toggles it.
TEST_F(ToggleTest, aLabelWidgetSitsBesideTheBoxAndClicksOnItToggle)
{
    const auto fixed = [](int width, int height) {
        auto *widget = new QWidget;
        widget->setFixedSize(width, height);
        return widget;
    };
    const struct
    {
        const char *what;
        QWidget *label;
    } cases[] = {
        {"short text", new QLabel("On")},
        {"two lines", new QLabel("Lock the screen\nwhen I leave")},
        {"a tall widget", fixed(30, 70)},
        {"a wide widget", fixed(400, 4)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(enabled.reset());
        actions.clear();
        QWidget pane; // in a pane, as in the application (and so no window of its own)
        Toggle toggle(enabled, c.label, &pane);
        EXPECT_EQ(toggle.label(), c.label);
        EXPECT_EQ(c.label->parentWidget(), &toggle) << "taken over as a child";
        EXPECT_TRUE(toggle.title().isEmpty());
        toggle.onChange(recorder());
        toggle.resize(toggle.sizeHint());
        pane.resize(toggle.size());
        pane.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
        faciward::testing::grabInBothSchemes(pane, std::string("toggle-label-") + c.what);

        const QRect label = c.label->geometry();
        const int box = toggle.style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, &toggle);
        EXPECT_GT(label.left(), box) << "the label starts right of the box";
        EXPECT_TRUE(toggle.rect().contains(label)) << "the whole label is shown";
        EXPECT_GE(toggle.minimumSizeHint().height(), c.label->minimumSizeHint().height());
        EXPECT_GE(toggle.minimumSizeHint().width(), box + c.label->minimumSizeHint().width());

        click(toggle, label.center()); // on the label
        click(toggle, {box / 2, toggle.height() / 2}); // on the box
        click(toggle, {toggle.width() - 1, toggle.height() - 1}); // on the far corner
        EXPECT_EQ(actions, (std::vector<bool>{true, false, true}));
        EXPECT_TRUE(toggle.isChecked());
        EXPECT_EQ(Prefs::get(enabled), true);
    }
}

} // namespace
} // namespace faciward::prefs
