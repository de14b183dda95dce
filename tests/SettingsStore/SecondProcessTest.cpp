#include "Platform/Runtime/QtScheduler.h"
#include "Platform/Settings/SettingsFileWatcher.h"
#include "SettingsStore/Prefs.h"
#include "SettingsStore/Qt/Toggle.h"
#include "tests/support/WidgetApplication.h"
#include "tests/support/Guards.h"

#include <QApplication>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <vector>

namespace faciward::prefs {
namespace {

using faciward::testing::spinUntil;
using faciward::testing::widgetApplication;
using platform::SettingsStore;

// Runs the writer helper as a second process: it stores @p value under @p key
// in @p file and exits.
class Writer
{
public:
    Writer(const std::filesystem::path &file, const std::string &key, const std::string &value)
    {
        m_process.setProgram(QStringLiteral(FACIWARD_SETTINGS_WRITER));
        m_process.setArguments({QString::fromStdString(file.string()), QString::fromStdString(key),
                                QString::fromStdString(value)});
        m_process.start();
    }
    ~Writer() { m_process.waitForFinished(); }

    bool finished() const { return m_process.state() == QProcess::NotRunning; }
    bool succeeded() const
    {
        return m_process.error() == QProcess::UnknownError && m_process.exitStatus() == QProcess::NormalExit &&
               m_process.exitCode() == 0;
    }

private:
    QProcess m_process;
};

class SecondProcessTest : public ::testing::Test
{
protected:
    void SetUp() override { widgetApplication(); }

    faciward::testing::TempDir dir{"faciward-second-process"};
    std::filesystem::path file = dir / "faciward" / "settings.json";
    std::shared_ptr<SettingsStore> store = std::make_shared<SettingsStore>(file);
    platform::QtScheduler scheduler;
};

TEST_F(SecondProcessTest, aSecondProcesssWriteReachesAnObserverInTheFirst)
{
    const Key<std::int64_t> count("count", 0, store);
    std::vector<KeyChange<std::int64_t>> heard;
    std::vector<bool> onMain;
    auto observation = Prefs::observe(count, {}, [&](const KeyChange<std::int64_t> &change) {
        heard.push_back(change);
        onMain.push_back(QThread::currentThread() == widgetApplication().thread());
    });
    platform::SettingsFileWatcher watcher(store, scheduler);

    Writer writer(file, "count", "42");
    ASSERT_TRUE(spinUntil([&] { return writer.finished() && !heard.empty(); }));
    EXPECT_TRUE(writer.succeeded());
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0], (KeyChange<std::int64_t>{BaseChange::setting, std::nullopt, false, 42, 0}));
    EXPECT_EQ(onMain, (std::vector<bool>{true}));
    EXPECT_EQ(Prefs::get(count), 42);
}

TEST_F(SecondProcessTest, aSecondProcesssWriteRefreshesABoundToggle)
{
    const Key<bool> enabled("enabled", false, store);
    Toggle toggle("Enabled", enabled);
    std::vector<bool> actions;
    toggle.onChange([&](bool value) { actions.push_back(value); });
    platform::SettingsFileWatcher watcher(store, scheduler);

    {
        Writer writer(file, "enabled", "true");
        ASSERT_TRUE(spinUntil([&] { return writer.finished() && toggle.isChecked(); }));
        EXPECT_TRUE(writer.succeeded());
    }
    {
        Writer writer(file, "enabled", "false");
        ASSERT_TRUE(spinUntil([&] { return writer.finished() && !toggle.isChecked(); }));
        EXPECT_TRUE(writer.succeeded());
    }
    EXPECT_EQ(actions, (std::vector<bool>{true, false}));
}

} // namespace
} // namespace faciward::prefs
