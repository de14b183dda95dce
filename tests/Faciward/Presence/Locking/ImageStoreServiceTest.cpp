#include "Faciward/Presence/Locking/ImageStoreService.h"
#include "Faciward/Settings/Keys.h"
#include "FileStore/DefaultStorageKey.h"
#include "SettingsStore/Prefs.h"
#include "tests/support/Guards.h"
#include "tests/support/RunTogether.h"
#include "tests/support/ScopedSettingsFile.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace faciward::presence;
using faciward::prefs::Prefs;
using faciward::settings::ImageItem;
using faciward::storage::DefaultStorageKey;
using faciward::testing::EnvGuard;
using faciward::testing::ScopedSettingsFile;
using faciward::testing::TempDir;
using faciward::testing::TempHome;
namespace Keys = faciward::settings::Keys;

namespace {

cv::Mat picture(int seed)
{
    cv::Mat m(24, 32, CV_8UC3);
    cv::RNG rng(seed);
    rng.fill(m, cv::RNG::UNIFORM, 0, 256);
    return m;
}

bool samePixels(const cv::Mat &a, const cv::Mat &b)
{
    return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0;
}

std::vector<std::string> keys(const std::vector<ImageItem> &items)
{
    std::vector<std::string> out;
    for (const auto &i : items)
        out.push_back(i.key);
    return out;
}

std::vector<std::pair<std::string, std::string>> entries(const std::vector<ImageItem> &items)
{
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto &i : items)
        out.emplace_back(i.key, i.url);
    return out;
}

std::vector<ImageItem> history()
{
    return Prefs::get(Keys::storedImages());
}

// Runs @p f and returns what it printed on standard output.
template<class F>
std::string printed(F &&f)
{
    ::testing::internal::CaptureStdout();
    f();
    return ::testing::internal::GetCapturedStdout();
}

} // namespace

class ImageStoreServiceTest : public ::testing::Test
{
protected:
    TempHome home;
    ScopedSettingsFile settings;
    ImageStoreService service{std::make_shared<ServiceContext>()};

    fs::path standard() const { return home.documents() / "standard"; }

    void seedHistory(int count)
    {
        std::vector<ImageItem> items;
        for (int i = 0; i < count; ++i) {
            const std::string key = "old " + std::to_string(i);
            const auto path = service.storage().saveImage(picture(i), DefaultStorageKey(key));
            items.push_back({key, faciward::storage::FileStorage::fileURL(path)});
        }
        ASSERT_TRUE(Prefs::set(Keys::storedImages(), items));
    }
};

TEST_F(ImageStoreServiceTest, aFirstPictureIsWrittenPrivatelyAndListedWithItsFileUrl)
{
    const auto frame = picture(1);
    std::optional<ImageItem> item;
    EXPECT_EQ(printed([&] { item = service.store(frame, "2026-03-02 10.00.00"); }), "");
    ASSERT_TRUE(item.has_value());
    EXPECT_EQ(item->key, "2026-03-02 10.00.00");
    EXPECT_EQ(item->url, "file://" + standard().string() + "/2026-03-02%2010.00.00.png");
    EXPECT_EQ(entries(history()), entries({*item}));

    const auto file = standard() / "2026-03-02 10.00.00.png";
    struct stat st{};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_TRUE(samePixels(service.storage().loadImage(DefaultStorageKey(item->key)), frame));
    EXPECT_EQ(ImageStoreService::pictureFile(*item), file);
}

TEST_F(ImageStoreServiceTest, theHistoryIsCutBackToTheSixNewestAndDroppedPicturesKeepTheirFiles)
{
    seedHistory(9);
    service.store(picture(10), "new 1");
    service.store(picture(11), "new 2");
    EXPECT_EQ(keys(history()), (std::vector<std::string>{"old 5", "old 6", "old 7", "old 8", "new 1", "new 2"}));
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(fs::exists(standard() / ("old " + std::to_string(i) + ".png")));
}

TEST_F(ImageStoreServiceTest, aStoreAppendsTheNewestAndDropsOnlyTheOldestOnceSixAreListed)
{
    struct Case
    {
        int before;
        std::vector<std::string> after;
    };
    const Case cases[] = {
        {0, {"new"}},
        {5, {"old 0", "old 1", "old 2", "old 3", "old 4", "new"}},
        {6, {"old 1", "old 2", "old 3", "old 4", "old 5", "new"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.before);
        fs::remove_all(standard());
        seedHistory(c.before);
        ASSERT_TRUE(service.store(picture(20), "new").has_value());
        EXPECT_EQ(keys(history()), c.after);
        EXPECT_TRUE(fs::exists(standard() / "old 0.png") || c.before == 0) << "a dropped entry keeps its file";
    }
}

TEST_F(ImageStoreServiceTest, aFailedStoreLeavesTheStoredListAsItWasByteForByte)
{
    // Written by another version: an extra member and an entry that does not
    // read. Any rewrite of the list would show in its bytes.
    using faciward::platform::PlistArray;
    using faciward::platform::PlistValue;
    const PlistValue stored(PlistArray{PlistValue(R"({"key":"old","url":"file:\/\/\/p\/old.png","note":1})"),
                                       PlistValue(R"({"key":"gone","url":""})")});
    ASSERT_TRUE(settings.store()->setObject("storedImages", stored));
    const auto fileBytes = [this] {
        std::ifstream in(settings.path(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    const std::string before = fileBytes();
    ASSERT_FALSE(before.empty());

    TempDir dir;
    std::ofstream(dir / "not-a-folder") << "x";
    struct Case
    {
        const char *what;
        std::function<void()> store;
    };
    const Case cases[] = {
        {"a key that is no file name", [&] { service.store(picture(1), "12/6/2025, 3:04 PM"); }},
        {"an empty picture", [&] { service.store(cv::Mat(), "empty"); }},
        {"a picture PNG cannot hold", [&] { service.store(cv::Mat(2, 2, CV_32FC3), "float"); }},
        {"a documents folder that is a file",
         [&] {
             EnvGuard documents("XDG_DOCUMENTS_DIR", (dir / "not-a-folder").string());
             service.store(picture(1), "unwritable");
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        printed(c.store);
        EXPECT_EQ(settings.store()->object("storedImages"), stored);
        EXPECT_EQ(fileBytes(), before);
    }
}

TEST_F(ImageStoreServiceTest, takenNamesGetANumberAndNoPictureIsOverwritten)
{
    const auto first = picture(1), second = picture(2), third = picture(3);
    EXPECT_EQ(service.store(first, "2026-03-02 10.00.00")->key, "2026-03-02 10.00.00");
    const auto again = service.store(second, "2026-03-02 10.00.00");
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->key, "2026-03-02 10.00.00 (2)");
    EXPECT_EQ(again->url, "file://" + standard().string() + "/2026-03-02%2010.00.00%20(2).png");
    EXPECT_EQ(service.store(third, "2026-03-02 10.00.00")->key, "2026-03-02 10.00.00 (3)");
    EXPECT_TRUE(samePixels(service.storage().loadImage(DefaultStorageKey("2026-03-02 10.00.00")), first));
    EXPECT_TRUE(samePixels(service.storage().loadImage(DefaultStorageKey("2026-03-02 10.00.00 (2)")), second));

    // A name is also taken by a history entry whose file the user deleted,
    // and by a file that is not in the history.
    fs::remove(standard() / "2026-03-02 10.00.00 (3).png");
    EXPECT_EQ(service.store(third, "2026-03-02 10.00.00")->key, "2026-03-02 10.00.00 (4)");
    std::ofstream(standard() / "stray.png") << "x";
    EXPECT_EQ(service.store(third, "stray")->key, "stray (2)");
}

TEST_F(ImageStoreServiceTest, failuresArePrintedOnOneLineAndLeaveTheHistoryAsItWas)
{
    seedHistory(6);
    const auto before = entries(history());

    EXPECT_EQ(printed([&] { EXPECT_FALSE(service.store(picture(1), "12/6/2025, 3:04 PM").has_value()); }),
              "invalidKey\n");
    EXPECT_EQ(printed([&] { EXPECT_FALSE(service.store(cv::Mat(), "empty").has_value()); }),
              "couldNotGetImageTiffRepresentation\n");
    EXPECT_EQ(printed([&] { EXPECT_FALSE(service.store(cv::Mat(2, 2, CV_32FC3), "float").has_value()); }),
              "couldNotCreatePngData\n");
    EXPECT_FALSE(fs::exists(standard() / "empty.png"));
    EXPECT_FALSE(fs::exists(standard() / "float.png"));
    // A caller can take the failure line instead.
    std::vector<std::string> reported;
    EXPECT_EQ(printed([&] {
                  EXPECT_FALSE(service.store(cv::Mat(), "empty", [&](const std::string &l) { reported.push_back(l); }));
              }),
              "");
    EXPECT_EQ(reported, std::vector<std::string>{"couldNotGetImageTiffRepresentation"});

    TempDir dir;
    std::ofstream(dir / "not-a-folder") << "x";
    EnvGuard documents("XDG_DOCUMENTS_DIR", (dir / "not-a-folder").string());
    const auto line = printed([&] { EXPECT_FALSE(service.store(picture(1), "unwritable").has_value()); });
    EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << line;
    EXPECT_NE(line.find("not-a-folder"), std::string::npos) << line;

    EXPECT_EQ(entries(history()), before);

}

TEST_F(ImageStoreServiceTest, recordsOfOneStoredPictureAreDistinctItemsThatPointAtItsFile)
{
    const auto frame = picture(3);
    const auto item = service.store(frame, "2026-03-02 10.00.00 #1");
    ASSERT_TRUE(item.has_value());
    const auto loaded = service.storage().loadImage(DefaultStorageKey(item->key));
    const ImageStoreService::DraggableImage first(loaded, *item);
    const ImageStoreService::DraggableImage second(loaded, *item);
    EXPECT_FALSE(first.id().isNull());
    EXPECT_NE(first.id(), second.id());
    EXPECT_EQ(first.url(), second.url());
    EXPECT_TRUE(first.url().isValid());
    EXPECT_EQ(first.url().toLocalFile().toStdString(), (standard() / "2026-03-02 10.00.00 #1.png").string());
    EXPECT_TRUE(samePixels(first.image(), frame));
}

TEST(ImageStoreServiceKey, pictureKeysAreLocalTimeFileNamesToTheSecond)
{
    using namespace std::chrono;
    const auto at = sys_days{2026y / 3 / 2} + hours(9) + minutes(4) + seconds(5) + milliseconds(999);
    EnvGuard utc("TZ", "UTC0");
    EXPECT_EQ(ImageStoreService::pictureKey(at), "2026-03-02 09.04.05");
    EnvGuard cet("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(ImageStoreService::pictureKey(at), "2026-03-02 10.04.05");
}

TEST(ImageStoreServiceThreads, concurrentStoresOfOneSecondAllGetTheirOwnNameAndEntry)
{
    TempHome home;
    ScopedSettingsFile settings;
    ImageStoreService service(std::make_shared<ServiceContext>());
    constexpr int threads = 4;
    faciward::testing::runTogether(threads, [&](int i) { service.store(picture(i), "2026-03-02 10.00.00"); });
    const auto names = keys(history());
    EXPECT_EQ(names.size(), std::size_t(threads));
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()),
              (std::set<std::string>{"2026-03-02 10.00.00", "2026-03-02 10.00.00 (2)", "2026-03-02 10.00.00 (3)",
                                     "2026-03-02 10.00.00 (4)"}));
}
