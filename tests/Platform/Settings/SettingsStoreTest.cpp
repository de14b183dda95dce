#include "Platform/Settings/SettingsFile.h"
#include "Platform/Settings/SettingsStore.h"
#include "tests/support/Guards.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>

#include <sys/resource.h>
#include <sys/stat.h>

namespace faciward::platform {
namespace {

using testing::EnvGuard;
using testing::ExpectStderr;
using testing::TempDir;

std::string readText(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeText(const std::filesystem::path &path, const std::string &text)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

unsigned modeOf(const std::filesystem::path &path)
{
    struct stat info{};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

std::vector<std::string> entriesOf(const std::filesystem::path &folder)
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class SettingsStoreTest : public ::testing::Test
{
protected:
    TempDir dir{"faciward-store"};
    std::filesystem::path file = dir / "config" / "faciward" / "settings.json";

    std::shared_ptr<SettingsStore> open() const { return std::make_shared<SettingsStore>(file); }
};

TEST_F(SettingsStoreTest, readsTheApplicationDomainThenTheRegisteredDefaults)
{
    auto store = open();
    EXPECT_FALSE(store->object("k"));
    store->registerDefaults({{"k", PlistValue(1)}, {"other", PlistValue("x")}});
    EXPECT_EQ(store->object("k"), PlistValue(1));
    EXPECT_FALSE(std::filesystem::exists(file)) << "registered defaults are never persisted";

    EXPECT_TRUE(store->setObject("k", PlistValue(2)));
    EXPECT_EQ(store->object("k"), PlistValue(2));
    EXPECT_EQ(store->dictionaryRepresentation(),
              (PlistDictionary{{"k", PlistValue(2)}, {"other", PlistValue("x")}}));

    EXPECT_TRUE(store->removeObject("k"));
    EXPECT_EQ(store->object("k"), PlistValue(1));
    EXPECT_TRUE(store->setObject("k", PlistValue(3)));
    EXPECT_TRUE(store->setObject("k", std::nullopt));
    EXPECT_EQ(store->object("k"), PlistValue(1));
}

TEST_F(SettingsStoreTest, persistsEveryChangeBeforeReturning)
{
    {
        auto store = open();
        ASSERT_TRUE(store->setObject("n", PlistValue(6)));
        ASSERT_TRUE(store->setObject("u", PlistValue(6u)));
        ASSERT_TRUE(store->setObject("d", PlistValue(6.0)));
        ASSERT_TRUE(store->setObject("gone", PlistValue(true)));
        ASSERT_TRUE(store->removeObject("gone"));
    }
    auto reopened = open();
    EXPECT_EQ(reopened->object("n")->type(), PlistValue::Type::int64);
    EXPECT_EQ(reopened->object("u")->type(), PlistValue::Type::uint64);
    EXPECT_EQ(reopened->object("d")->type(), PlistValue::Type::real);
    EXPECT_FALSE(reopened->object("gone"));
}

TEST_F(SettingsStoreTest, removingWhatIsNotThereWritesNothing)
{
    auto store = open();
    EXPECT_TRUE(store->removeObject("never"));
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(SettingsStoreTest, keepsTheFolderAndTheFileToTheOwner)
{
    const mode_t previous = ::umask(0);
    auto store = open();
    const bool written = store->setObject("k", PlistValue(1));
    ::umask(previous);
    ASSERT_TRUE(written);
    EXPECT_EQ(modeOf(file.parent_path()), 0700u);
    EXPECT_EQ(modeOf(file.parent_path().parent_path()), 0700u);
    EXPECT_EQ(modeOf(file), 0600u);

    // An older file readable by others is tightened on the next write.
    ::chmod(file.c_str(), 0644);
    ASSERT_TRUE(store->setObject("k", PlistValue(2)));
    EXPECT_EQ(modeOf(file), 0600u);
}

TEST_F(SettingsStoreTest, aCorruptFileIsCopiedAsideLeftInPlaceAndTheStoreStartsFromDefaults)
{
    const std::string garbage = "{\"formatVersion\":1,\"values\":{\"embeddings\":[[0.1,";
    writeText(file, garbage);
    ExpectStderr expected("^faciward: the settings file .*settings\\.json does not parse \\(.*\\); a copy of it is at "
                          ".*settings\\.json\\.corrupt-[0-9]{8}T[0-9]{6}Z(-[0-9]+)?, and the settings start from their defaults$");
    auto store = open();
    store->registerDefaults({{"k", PlistValue(1)}});
    EXPECT_EQ(store->object("k"), PlistValue(1));
    EXPECT_FALSE(store->object("embeddings"));
    EXPECT_EQ(expected.matched(), 1);
    EXPECT_EQ(readText(file), garbage) << "a writer still at work is not cut off";

    const auto names = entriesOf(file.parent_path());
    ASSERT_EQ(names.size(), 2u);
    const auto copy = file.parent_path() / names[1]; // after "settings.json"
    EXPECT_EQ(readText(copy), garbage);

    ASSERT_TRUE(store->setObject("k", PlistValue(2)));
    EXPECT_EQ(readText(copy), garbage) << "the copy must stay as it was";
    EXPECT_EQ(open()->object("k"), PlistValue(2));
    EXPECT_EQ(expected.matched(), 1) << "one line, once";

    // Copies never take each other's names.
    writeText(file, "not json");
    EXPECT_FALSE(open()->object("k"));
    EXPECT_EQ(expected.matched(), 2);
    EXPECT_EQ(entriesOf(file.parent_path()).size(), 3u);
}

TEST_F(SettingsStoreTest, aWriteInterruptedBeforeTheRenameLeavesTheOldFileWhole)
{
    auto store = open();
    ASSERT_TRUE(store->setObject("k", PlistValue("old")));
    const std::string before = readText(file);

    store->setWriteInterruption([](SettingsFile::WriteStep step) {
        return step == SettingsFile::WriteStep::temporaryWritten;
    });
    {
        ExpectStderr expected("^faciward: the setting \"k\" could not be saved to .*: the write was interrupted");
        EXPECT_FALSE(store->setObject("k", PlistValue("new")));
        EXPECT_FALSE(store->update("k", [](auto) { return PlistValue("newer"); }));
        EXPECT_EQ(expected.matched(), 2);
    }
    EXPECT_EQ(store->object("k"), PlistValue("old")) << "a change that was not saved is not applied";
    EXPECT_EQ(readText(file), before);
    EXPECT_EQ(entriesOf(file.parent_path()), std::vector<std::string>{"settings.json"}) << "no temporary left";

    store->setWriteInterruption({});
    EXPECT_TRUE(store->setObject("k", PlistValue("new")));
    EXPECT_EQ(open()->object("k"), PlistValue("new"));
}

TEST_F(SettingsStoreTest, aFailedRenameLeavesNoHalfWrittenFile)
{
    auto store = open();
    ASSERT_TRUE(store->setObject("k", PlistValue(1)));
    // Between writing the temporary file and renaming it, something puts a folder
    // where the file was: the rename fails for real, even for root.
    store->setWriteInterruption([this](SettingsFile::WriteStep) {
        std::filesystem::remove(file);
        std::filesystem::create_directory(file);
        writeText(file / "keep", "kept");
        return false;
    });
    ExpectStderr expected("^faciward: the setting \"k\" could not be saved");
    EXPECT_FALSE(store->setObject("k", PlistValue(2)));
    EXPECT_EQ(expected.matched(), 1);
    EXPECT_EQ(store->object("k"), PlistValue(1));
    EXPECT_EQ(readText(file / "keep"), "kept");
    EXPECT_EQ(entriesOf(file.parent_path()), std::vector<std::string>{"settings.json"}) << "no temporary left";
}

TEST_F(SettingsStoreTest, aValueThatCannotBeSavedChangesNothing)
{
    auto store = open();
    ASSERT_TRUE(store->setObject("k", PlistValue("good")));
    ExpectStderr expected("^faciward: the setting \"k\" could not be saved .*not valid UTF-8");
    EXPECT_FALSE(store->setObject("k", PlistValue("bad\xff")));
    EXPECT_EQ(expected.matched(), 1);
    EXPECT_EQ(store->object("k"), PlistValue("good"));
    EXPECT_EQ(open()->object("k"), PlistValue("good"));
}

TEST_F(SettingsStoreTest, updateSeesTheEffectiveValueAndCanRemoveOrAbandon)
{
    auto store = open();
    store->registerDefaults({{"count", PlistValue(10)}});
    std::optional<PlistValue> seen;
    ASSERT_TRUE(store->update("count", [&](std::optional<PlistValue> current) {
        seen = current;
        return PlistValue(*current->getIf<std::int64_t>() + 1);
    }));
    EXPECT_EQ(seen, PlistValue(10));
    EXPECT_EQ(store->object("count"), PlistValue(11));

    EXPECT_THROW(store->update("count", [](auto) -> std::optional<PlistValue> { throw std::runtime_error("no"); }),
                 std::runtime_error);
    EXPECT_EQ(store->object("count"), PlistValue(11));

    ASSERT_TRUE(store->update("count", [](auto) { return std::nullopt; }));
    EXPECT_EQ(store->object("count"), PlistValue(10));
    EXPECT_EQ(open()->object("count"), std::nullopt);
}

TEST_F(SettingsStoreTest, anUpdateFunctionThatWritesToItsStoreStopsTheProgram)
{
    auto store = open();
    EXPECT_DEATH(store->update("k",
                               [&](auto) {
                                   store->setObject("j", PlistValue(1));
                                   return PlistValue(2);
                               }),
                 "a settings update function wrote to the store it updates \\(key \"j\"\\)");
    // Reading inside an update is fine.
    EXPECT_TRUE(store->update("k", [&](auto) { return PlistValue(store->object("missing").has_value()); }));
    EXPECT_EQ(store->object("k"), PlistValue(false));
}

TEST_F(SettingsStoreTest, writesOfAnotherProcessAreMergedKeyByKey)
{
    auto mine = open();
    auto theirs = open(); // a second store on the file behaves like another process
    ASSERT_TRUE(mine->setObject("a", PlistValue(1)));
    ASSERT_TRUE(theirs->setObject("b", PlistValue(2)));
    EXPECT_EQ(theirs->object("a"), PlistValue(1)) << "taken in before writing";
    EXPECT_FALSE(mine->object("b")) << "reads never touch the disk";

    ASSERT_TRUE(mine->setObject("c", PlistValue(3)));
    EXPECT_EQ(mine->object("b"), PlistValue(2));
    auto third = open();
    EXPECT_EQ(third->dictionaryRepresentation(),
              (PlistDictionary{{"a", PlistValue(1)}, {"b", PlistValue(2)}, {"c", PlistValue(3)}}));

    ASSERT_TRUE(theirs->removeObject("a"));
    EXPECT_TRUE(mine->reload());
    EXPECT_FALSE(mine->object("a"));
}

TEST_F(SettingsStoreTest, reloadTakesInARemovedFileAndKeepsMemoryWhenTheFileTurnsCorrupt)
{
    auto store = open();
    ASSERT_TRUE(store->setObject("k", PlistValue(1)));
    writeText(file, "garbage");
    {
        ExpectStderr expected("does not parse .*the settings in memory are kept$");
        EXPECT_FALSE(store->reload());
        EXPECT_EQ(expected.matched(), 1);
        EXPECT_EQ(readText(file), "garbage") << "a reload neither moves nor copies";
        EXPECT_EQ(store->object("k"), PlistValue(1));
        // A write copies the settled file aside first, then replaces it.
        ASSERT_TRUE(store->setObject("j", PlistValue(2)));
        EXPECT_EQ(expected.matched(), 2);
    }
    EXPECT_EQ(open()->dictionaryRepresentation(), (PlistDictionary{{"j", PlistValue(2)}, {"k", PlistValue(1)}}));
}

TEST_F(SettingsStoreTest, aFileRemovedOrReplacedUnderARunningStoreKeepsTheValuesInMemoryWithOneLine)
{
    const struct
    {
        const char *name;
        std::function<void(const std::filesystem::path &)> replace;
        std::string line;
    } cases[] = {
        {"removed", [](const auto &) {},
         "was removed; the settings in memory are kept, and saved to it at the next change"},
        {"a folder", [](const auto &p) { std::filesystem::create_directory(p); },
         "is left untouched \\(it is not a regular file\\); the settings in memory are kept and are not saved to it"},
        {"a link loop", [](const auto &p) { std::filesystem::create_symlink(p, p); },
         "is left untouched \\(Too many levels of symbolic links\\); the settings in memory are kept"},
    };
    for (const auto &c : cases) {
        std::filesystem::remove_all(file.parent_path());
        auto store = open();
        ASSERT_TRUE(store->setObject("k", PlistValue(1)));
        std::filesystem::remove(file);
        c.replace(file);
        ExpectStderr expected("^faciward: the settings file .*settings\\.json " + c.line);
        // As the watcher does: quiet attempts while another program may be at
        // work, then one that reports.
        EXPECT_FALSE(store->reload(false)) << c.name;
        EXPECT_FALSE(store->reload(false)) << c.name;
        EXPECT_EQ(expected.matched(), 0) << c.name;
        EXPECT_FALSE(store->reload(true)) << c.name;
        EXPECT_EQ(expected.matched(), 1) << c.name;
        EXPECT_TRUE(store->reload(true)) << c.name << ": said once";
        EXPECT_EQ(store->object("k"), PlistValue(1)) << c.name;
    }
    // A file that comes back is read as it is.
    std::filesystem::remove(file);
    writeText(file, "{\"formatVersion\":1,\"values\":{\"k\":2}}");
    auto store = open();
    ASSERT_TRUE(store->setObject("j", PlistValue(1)));
    std::filesystem::remove(file);
    {
        ExpectStderr expected("was removed");
        EXPECT_FALSE(store->reload());
        // The next change writes every value held back to the file.
        ASSERT_TRUE(store->setObject("i", PlistValue(3)));
    }
    EXPECT_EQ(open()->dictionaryRepresentation(),
              (PlistDictionary{{"i", PlistValue(3)}, {"j", PlistValue(1)}, {"k", PlistValue(2)}}));

    // A removed file, then a link loop in its place: each change says its line.
    std::filesystem::remove(file);
    ExpectStderr removed("was removed"), loop("Too many levels of symbolic links");
    const int removedBefore = removed.matched(), loopBefore = loop.matched();
    EXPECT_FALSE(store->reload());
    std::filesystem::create_symlink(file, file);
    EXPECT_FALSE(store->reload());
    EXPECT_EQ(removed.matched() - removedBefore, 1);
    EXPECT_EQ(loop.matched() - loopBefore, 1);
    EXPECT_EQ(store->object("i"), PlistValue(3));
}

TEST_F(SettingsStoreTest, oneCopyOfACorruptFileForEachContent)
{
    const std::string garbage = "{\"formatVersion\":1,\"values\":{\"embeddings\":[[0.1,";
    writeText(file, garbage);
    ExpectStderr expected("does not parse");
    // Each store stands for one run of the program over the same broken file.
    for (int run = 0; run < 3; ++run)
        EXPECT_FALSE(open()->object("embeddings"));
    EXPECT_EQ(entriesOf(file.parent_path()).size(), 2u) << "one copy";
    writeText(file, garbage + "0.2");
    EXPECT_FALSE(open()->object("embeddings"));
    EXPECT_FALSE(open()->object("embeddings"));
    const auto names = entriesOf(file.parent_path());
    ASSERT_EQ(names.size(), 3u) << "one more for the new content";
    EXPECT_EQ(expected.matched(), 5) << "each run still says where its copy is";
}

TEST_F(SettingsStoreTest, aPathThatIsNotUtf8IsSavedAndReadUnderItsOwnName)
{
    const std::filesystem::path odd = dir / "conf\xff" / "r\xe9glages\xff.json";
    ASSERT_TRUE(std::make_shared<SettingsStore>(odd)->setObject("k", PlistValue(1)));
    EXPECT_EQ(std::make_shared<SettingsStore>(odd)->object("k"), PlistValue(1));
    EXPECT_EQ(entriesOf(dir.path()), std::vector<std::string>{"conf\xff"});
    EXPECT_EQ(entriesOf(odd.parent_path()), std::vector<std::string>{"r\xe9glages\xff.json"}) << "no lock file left";
}

TEST_F(SettingsStoreTest, aWriteThatFailsForLackOfRoomNamesTheCauseAndKeepsTheOldFile)
{
    auto store = open();
    ASSERT_TRUE(store->setObject("k", PlistValue(1)));
    const std::string before = readText(file);
    // A file-size limit is the one lack of room every machine can make; the
    // program ignores SIGXFSZ, as main() does.
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit small{4096, limit.rlim_max};
    ExpectStderr expected("^faciward: the setting \"k\" could not be saved to .*settings\\.json: cannot write the "
                          "file: File too large$");
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool saved = store->setObject("k", PlistValue(std::string(5000, 'x')));
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(saved);
    EXPECT_EQ(expected.matched(), 1);
    EXPECT_EQ(readText(file), before);
    EXPECT_EQ(store->object("k"), PlistValue(1));
    EXPECT_EQ(entriesOf(file.parent_path()), std::vector<std::string>{"settings.json"}) << "no temporary left";
}

TEST_F(SettingsStoreTest, relocateDropsTheValuesButKeepsTheDefaults)
{
    auto store = open();
    store->registerDefaults({{"d", PlistValue(true)}});
    ASSERT_TRUE(store->setObject("k", PlistValue(1)));
    const auto other = dir / "other.json";
    store->relocate(other);
    EXPECT_EQ(store->filePath(), other);
    EXPECT_FALSE(store->object("k"));
    EXPECT_EQ(store->object("d"), PlistValue(true));
    ASSERT_TRUE(store->setObject("k", PlistValue(2)));
    store->relocate(file);
    EXPECT_EQ(store->object("k"), PlistValue(1));
}

TEST(SettingsStorePath, followsTheEnvironment)
{
    {
        EnvGuard file("FACIWARD_SETTINGS_FILE", "/tmp/x/s.json");
        EXPECT_EQ(SettingsStore::standardFilePath(), "/tmp/x/s.json");
    }
    EnvGuard noFile("FACIWARD_SETTINGS_FILE", std::nullopt);
    {
        EnvGuard config("XDG_CONFIG_HOME", "/cfg");
        EXPECT_EQ(SettingsStore::standardFilePath(), "/cfg/faciward/settings.json");
    }
    EnvGuard relative("XDG_CONFIG_HOME", "relative");
    EnvGuard home("HOME", "/home/someone");
    EXPECT_EQ(SettingsStore::standardFilePath(), "/home/someone/.config/faciward/settings.json");
}

} // namespace
} // namespace faciward::platform
