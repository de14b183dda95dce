#include "Platform/Settings/SettingsFile.h"
#include "SettingsStore/Prefs.h"
#include "SettingsStore/Qt/Toggle.h"
#include "tests/support/WidgetApplication.h"
#include "tests/support/Guards.h"

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <thread>
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

TEST_F(ToggleTest, aKeyNeverWrittenShowsItsDefault)
{
    const Key<bool> on("on", true, store);
    Toggle onToggle("On", on);
    Toggle offToggle("Off", enabled);
    EXPECT_TRUE(onToggle.isChecked());
    EXPECT_FALSE(offToggle.isChecked());
}

TEST_F(ToggleTest, theStoredValueIsReadAsABoolAndTextAsItsJson)
{
    faciward::testing::ExpectStderr undecodable("^faciward: the setting \".*\" in .* does not hold a value of its type; its default is used$");
    ASSERT_TRUE(store->setObject("enabled", PlistValue("true")));
    Toggle toggle("Enabled", enabled);
    EXPECT_TRUE(toggle.isChecked());
    ASSERT_TRUE(store->setObject("enabled", PlistValue("not json")));
    EXPECT_FALSE(toggle.isChecked()) << "unconvertible: the default";
}

TEST_F(ToggleTest, theTitleIsShownVerbatim)
{
    Toggle toggle("Lock & save", enabled);
    EXPECT_EQ(toggle.title(), QString("Lock & save"));
    EXPECT_EQ(toggle.text(), QString("Lock && save")) << "a single '&' would mark a shortcut and vanish";
}

TEST_F(ToggleTest, followsChangesMadeElsewhereAndRunsTheActionOncePerChange)
{
    Toggle toggle("Enabled", enabled);
    toggle.onChange(recorder());
    Toggle silent("Enabled too", enabled); // no action: nothing to call
    ASSERT_TRUE(Prefs::set(enabled, true));
    EXPECT_TRUE(toggle.isChecked());
    EXPECT_TRUE(silent.isChecked());
    ASSERT_TRUE(Prefs::set(enabled, true)); // the same value again
    ASSERT_TRUE(enabled.reset());
    EXPECT_FALSE(toggle.isChecked());
    EXPECT_EQ(actions, (std::vector<bool>{true, false}));
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

TEST_F(ToggleTest, theActionCanBeReplacedAndRemoved)
{
    Toggle toggle("Enabled", enabled);
    int first = 0;
    toggle.onChange([&](bool) { ++first; }).onChange(recorder());
    ASSERT_TRUE(Prefs::set(enabled, true));
    toggle.onChange({});
    ASSERT_TRUE(Prefs::set(enabled, false));
    EXPECT_EQ(first, 0);
    EXPECT_EQ(actions, (std::vector<bool>{true}));
}

TEST_F(ToggleTest, aToggleWithALabelWidgetTogglesWhenTheLabelIsClicked)
{
    // Inside a window, as in a settings pane.
    QWidget window;
    auto *label = new QLabel("Take a picture when locking");
    Toggle &toggle = *new Toggle(enabled, label, &window);
    toggle.onChange(recorder());
    EXPECT_EQ(toggle.label(), label);
    EXPECT_EQ(label->parentWidget(), &toggle);
    EXPECT_GE(toggle.sizeHint().width(), label->sizeHint().width());
    toggle.resize(toggle.sizeHint());
    window.resize(toggle.sizeHint());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    click(toggle, label->geometry().center());
    EXPECT_TRUE(toggle.isChecked());
    EXPECT_EQ(actions, (std::vector<bool>{true}));
    EXPECT_EQ(Prefs::get(enabled), true);
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

TEST_F(ToggleTest, aWriteFromABackgroundThreadRefreshesTheToggleOnTheMainThread)
{
    Toggle toggle("Enabled", enabled);
    toggle.onChange(recorder());
    std::thread([&] { EXPECT_TRUE(Prefs::set(enabled, true)); }).join();
    ASSERT_TRUE(spinUntil([&] { return toggle.isChecked(); }));
    EXPECT_EQ(actions, (std::vector<bool>{true}));
    EXPECT_EQ(actionsOnMain, (std::vector<bool>{true}));
}

TEST_F(ToggleTest, destroyingTheToggleEndsItsObservation)
{
    auto toggle = std::make_unique<Toggle>("Enabled", enabled);
    EXPECT_EQ(store->observerCount("enabled"), 1u);
    toggle.reset();
    EXPECT_EQ(store->observerCount("enabled"), 0u);
}

} // namespace
} // namespace faciward::prefs
