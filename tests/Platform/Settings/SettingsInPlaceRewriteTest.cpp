// Another program rewrites the settings file in place (truncate, then write in
// small chunks, as an editor or `cat new > settings.json` does) while the store
// watches it and writes to it.
#include "Platform/Runtime/QtScheduler.h"
#include "Platform/Settings/SettingsFile.h"
#include "Platform/Settings/SettingsFileWatcher.h"
#include "Platform/Settings/SettingsStore.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Guards.h"
#include "tests/support/QtEventLoop.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace faciward::platform {
namespace {

using namespace std::chrono_literals;

std::vector<std::string> inChunks(const std::string &text, std::size_t size)
{
    std::vector<std::string> chunks;
    for (std::size_t at = 0; at < text.size(); at += size)
        chunks.push_back(text.substr(at, size));
    return chunks;
}

TEST(SettingsInPlaceRewrite, noFileIsMovedAsideAndTheWritersValuesWin)
{
    testing::coreApplication();
    testing::TempDir dir;
    const auto file = dir / "settings.json";
    auto store = std::make_shared<SettingsStore>(file);
    ASSERT_TRUE(store->setObject("kept", PlistValue("mine")));
    QtScheduler main;
    SettingsFileWatcher watcher(store, main);

    // The writer's file: what the store wrote, with a value changed and one added.
    SettingsFile::Values wanted;
    wanted["kept"] = std::make_shared<const PlistValue>("theirs");
    wanted["added"] = std::make_shared<const PlistValue>(PlistArray(40, PlistValue(0.25)));
    const std::string text = SettingsFile::serialize(wanted);
    std::vector<std::string> argv{"sh", "-c",
                                  "f=$1; shift; exec 3>\"$f\"; for c; do printf %s \"$c\" >&3; sleep 0.01; done", "sh",
                                  file.string()};
    for (auto &chunk : inChunks(text, 16))
        argv.push_back(chunk);
    testing::ChildProcess writer(argv);

    // A write of the store's own while the file is half-written waits for the
    // writer, then keeps what it wrote. The writer must have begun (truncated
    // the file) first, or it would overwrite the store's write without reading it.
    const auto before = std::filesystem::file_size(file);
    ASSERT_TRUE(testing::processEventsUntil([&] { return std::filesystem::file_size(file) != before; }, 10s));
    ASSERT_TRUE(store->setObject("ours", PlistValue(7)));
    EXPECT_EQ(writer.wait(20s), 0);

    ASSERT_TRUE(testing::processEventsUntil([&] { return store->object("kept") == PlistValue("theirs"); }, 10s));
    const auto reread = SettingsStore(file).dictionaryRepresentation();
    EXPECT_EQ(reread.at("kept"), PlistValue("theirs"));
    EXPECT_EQ(reread.at("added"), *wanted["added"]);
    EXPECT_EQ(reread.at("ours"), PlistValue(7));
    for (const auto &entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().find(".corrupt"), std::string::npos) << entry.path();
}

} // namespace
} // namespace faciward::platform
