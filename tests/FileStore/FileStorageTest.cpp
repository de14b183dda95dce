#include "FileStore/DefaultStorageKey.h"
#include "FileStore/FileStorage.h"
#include "FileStore/FileStorageError.h"
#include "tests/support/Guards.h"
#include "tests/support/RunTogether.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include <fstream>
#include <limits>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace faciward::storage;
using faciward::testing::EnvGuard;
using faciward::testing::TempDir;
using faciward::testing::TempHome;

namespace {

unsigned mode(const fs::path &p)
{
    struct stat st{};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return st.st_mode & 07777;
}

std::string contents(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> names(const fs::path &dir)
{
    std::vector<std::string> out;
    for (const auto &e : fs::directory_iterator(dir))
        out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

cv::Mat noise(int rows, int cols, int type, unsigned seed)
{
    cv::Mat m(rows, cols, type);
    cv::RNG rng(seed);
    rng.fill(m, cv::RNG::UNIFORM, 0, 256);
    return m;
}

bool samePixels(const cv::Mat &a, const cv::Mat &b)
{
    return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0;
}

template<class F>
FileStorage::Error storageError(F &&f)
{
    try {
        f();
    } catch (const FileStorageError &e) {
        EXPECT_EQ(std::string(e.what()), std::string(name(e.error())));
        return e.error();
    }
    ADD_FAILURE() << "no FileStorageError thrown";
    return FileStorage::Error::platformNotSupported;
}

} // namespace

class FileStorageTest : public ::testing::Test
{
protected:
    TempHome home;
    FileStorage storage;
    fs::path standard() const { return home.documents() / "standard"; }
};

TEST_F(FileStorageTest, valuesRoundTripAsPrivateJsonFilesWithoutLeftovers)
{
    const DefaultStorageKey key("settings");
    EXPECT_FALSE(storage.exists(key));
    storage.save(std::map<std::string, int>{{"b", 2}, {"a", 1}}, key);
    EXPECT_TRUE(storage.exists(key));
    EXPECT_EQ(contents(standard() / "settings"), R"({"a":1,"b":2})");
    EXPECT_EQ(mode(standard() / "settings"), 0600u);
    EXPECT_EQ((storage.load<std::map<std::string, int>>(key)), (std::map<std::string, int>{{"a", 1}, {"b", 2}}));

    storage.save(std::vector<double>{0.5, -1.0}, key);
    EXPECT_EQ(storage.load<std::vector<double>>(key), (std::vector<double>{0.5, -1.0}));
    EXPECT_EQ(names(standard()), std::vector<std::string>{"settings"});
}

TEST_F(FileStorageTest, failedWriteKeepsTheOldFileAndLeavesNoTemporaryFile)
{
    const DefaultStorageKey key("photo");
    const auto first = noise(4, 5, CV_8UC3, 1);
    const auto path = storage.saveImage(first, key);
    // A folder in the way of the second picture makes the rename fail.
    fs::remove(path);
    fs::create_directory(path);
    std::ofstream(path / "keep") << "x";
    EXPECT_THROW(storage.saveImage(noise(4, 5, CV_8UC3, 2), key), fs::filesystem_error);
    EXPECT_TRUE(fs::exists(path / "keep"));
    EXPECT_EQ(names(standard()), std::vector<std::string>{"photo.png"});
}

TEST_F(FileStorageTest, picturesRoundTripPixelExactAndASecondSaveReplacesTheFirst)
{
    const DefaultStorageKey key("2026-03-02 09.00.00");
    const auto first = noise(48, 64, CV_8UC3, 7);
    const auto path = storage.saveImage(first, key);
    EXPECT_EQ(path, standard() / "2026-03-02 09.00.00.png");
    EXPECT_EQ(mode(path), 0600u);
    EXPECT_TRUE(samePixels(storage.loadImage(key), first));
    // exists() looks for a value file, which a picture is not.
    EXPECT_FALSE(storage.exists(key));

    const auto second = noise(48, 64, CV_8UC3, 8);
    EXPECT_EQ(storage.saveImage(second, key), path);
    EXPECT_TRUE(samePixels(storage.loadImage(key), second));
    EXPECT_EQ(names(standard()), std::vector<std::string>{"2026-03-02 09.00.00.png"});

    // Grey pictures come back as BGR with equal channels.
    const DefaultStorageKey grey("grey");
    storage.saveImage(cv::Mat(3, 3, CV_8UC1, cv::Scalar(200)), grey);
    const auto loaded = storage.loadImage(grey);
    EXPECT_EQ(loaded.type(), CV_8UC3);
    EXPECT_EQ(loaded.at<cv::Vec3b>(1, 1), cv::Vec3b(200, 200, 200));
}

TEST_F(FileStorageTest, picturesThatCannotBeEncodedAreErrorsAndWriteNothing)
{
    const DefaultStorageKey key("bad");
    EXPECT_EQ(storageError([&] { storage.saveImage(cv::Mat(), key); }),
              FileStorage::Error::couldNotGetImageTiffRepresentation);
    EXPECT_EQ(storageError([&] { storage.saveImage(cv::Mat(4, 4, CV_32FC3, cv::Scalar(0.5)), key); }),
              FileStorage::Error::couldNotCreatePngData);
    EXPECT_EQ(storageError([&] { storage.saveImage(cv::Mat(4, 4, CV_8UC2, cv::Scalar(1, 2)), key); }),
              FileStorage::Error::couldNotCreatePngData);
    EXPECT_EQ(storageError([&] { storage.saveToTemporaryFile(cv::Mat(), key); }),
              FileStorage::Error::couldNotGetImageTiffRepresentation);
    EXPECT_TRUE(names(standard()).empty());
}

TEST_F(FileStorageTest, keysAndFoldersThatAreNotPlainNamesAreRefusedBeforeTouchingFiles)
{
    TempDir outside;
    std::ofstream(outside / "victim.png") << "precious";
    std::ofstream(outside / "victim") << "precious";
    const auto escape = fs::relative(outside.path(), standard()).string(); // ../../../tmp/...

    const std::vector<std::string> badKeys = {"", ".", "..", "a/b", "../victim", escape + "/victim", "x..y", "/etc/passwd"};
    for (const auto &bad : badKeys) {
        SCOPED_TRACE(bad);
        const DefaultStorageKey key(bad);
        EXPECT_EQ(storageError([&] { storage.saveImage(noise(2, 2, CV_8UC3, 4), key); }), FileStorage::Error::invalidKey);
        EXPECT_EQ(storageError([&] { storage.save(1, key); }), FileStorage::Error::invalidKey);
        EXPECT_EQ(storageError([&] { storage.load<int>(key); }), FileStorage::Error::invalidKey);
        EXPECT_EQ(storageError([&] { storage.loadImage(key); }), FileStorage::Error::invalidKey);
        EXPECT_EQ(storageError([&] { storage.removeImage(key); }), FileStorage::Error::invalidKey);
        EXPECT_EQ(storageError([&] { storage.temporaryURL(key, "png"); }), FileStorage::Error::invalidKey);
        EXPECT_FALSE(storage.exists(key));
    }
    for (const auto &bad : std::vector<std::string>{"", ".", "..", "a/b", escape}) {
        SCOPED_TRACE(bad);
        const DefaultStorageKey key("victim", bad);
        EXPECT_EQ(storageError([&] { storage.folderPath(key); }), FileStorage::Error::invalidKey);
        EXPECT_EQ(storageError([&] { storage.saveImage(noise(2, 2, CV_8UC3, 4), key); }), FileStorage::Error::invalidKey);
        EXPECT_FALSE(storage.optionalFolderPath(key).has_value());
        EXPECT_FALSE(storage.exists(key));
        EXPECT_FALSE(storage.remove(key));
    }
    EXPECT_EQ(storageError([&] { storage.temporaryURL(DefaultStorageKey("k"), "../png"); }), FileStorage::Error::invalidKey);
    EXPECT_EQ(contents(outside / "victim.png"), "precious");
    EXPECT_EQ(contents(outside / "victim"), "precious");
    EXPECT_FALSE(fs::exists(home.documents()));
}

TEST_F(FileStorageTest, removeByUrlTextDecodesEscapesAndStaysInsideTheFolder)
{
    const auto folder = storage.folderPath(DefaultStorageKey("x"));
    std::ofstream(folder / "my notes") << "1";
    std::ofstream(folder / "plain") << "1";
    std::ofstream(home.documents() / "outside") << "1";

    EXPECT_TRUE(storage.remove(DefaultStorageKey("my%20notes")));
    EXPECT_FALSE(fs::exists(folder / "my notes"));
    EXPECT_FALSE(storage.remove(DefaultStorageKey("my%20notes")));
    EXPECT_FALSE(storage.remove(DefaultStorageKey("not a url")));
    EXPECT_FALSE(storage.remove(DefaultStorageKey("bad%zz")));
    EXPECT_FALSE(storage.remove(DefaultStorageKey("cut%2")));
    EXPECT_FALSE(storage.remove(DefaultStorageKey("..%2Foutside")));
    EXPECT_FALSE(storage.remove(DefaultStorageKey("../outside")));
    EXPECT_FALSE(storage.remove(DefaultStorageKey("%2E%2E")));
    EXPECT_FALSE(storage.remove(DefaultStorageKey("file:///etc/hostname")));
    EXPECT_TRUE(fs::exists(home.documents() / "outside"));
    EXPECT_TRUE(storage.remove(DefaultStorageKey("plain?query#part")));
    EXPECT_FALSE(fs::exists(folder / "plain"));
}

TEST_F(FileStorageTest, missingItemsAndTemporaryFoldersThroughTheStorageInterface)
{
    const Storage &store = storage;
    const DefaultStorageKey missing("never saved");

    // A missing picture: loading throws the store's own case, removing is false;
    // both leave the folder they looked in.
    EXPECT_EQ(storageError([&] { store.loadImage(missing); }), FileStorage::Error::couldNotLoadImageFromURL);
    EXPECT_TRUE(fs::is_directory(standard()));
    bool removed = true;
    EXPECT_NO_THROW(removed = store.removeImage(missing));
    EXPECT_FALSE(removed);
    EXPECT_TRUE(names(standard()).empty());

    // Each temporary address lies in a folder of its own, made empty for it.
    const auto first = store.temporaryURL(missing, "png");
    const auto second = store.temporaryURL(missing, "png");
    EXPECT_NE(first.parent_path(), second.parent_path());
    for (const auto &url : {first, second}) {
        EXPECT_EQ(url.filename(), "never saved.png");
        EXPECT_TRUE(fs::is_directory(url.parent_path()));
        EXPECT_TRUE(fs::is_empty(url.parent_path()));
        EXPECT_EQ(mode(url.parent_path()), 0700u);
        fs::remove_all(url.parent_path());
    }

    // Typed values go through the interface's JSON operations; a value file
    // that does not decode as the type asked for, and a value with no JSON
    // text, are the store's own cases.
    const DefaultStorageKey values("values");
    store.save(std::vector<double>{0.25, 3}, values);
    EXPECT_EQ(contents(standard() / "values"), "[0.25,3]");
    EXPECT_EQ(store.load(values), faciward::platform::Json::decode("[0.25,3]"));
    EXPECT_EQ(store.load<std::vector<double>>(values), (std::vector<double>{0.25, 3}));
    EXPECT_EQ(storageError([&] { store.load<std::string>(values); }), FileStorage::Error::couldNotDecodeValue);
    std::ofstream(standard() / "values") << "[0.25,";
    EXPECT_EQ(storageError([&] { store.load(values); }), FileStorage::Error::couldNotDecodeValue);
    EXPECT_EQ(storageError([&] { store.save(std::numeric_limits<double>::quiet_NaN(), values); }),
              FileStorage::Error::couldNotEncodeValue);
    EXPECT_EQ(contents(standard() / "values"), "[0.25,") << "a value that cannot be written leaves the file";
}

TEST_F(FileStorageTest, noByteIsWrittenOutsideThePicturesFolder)
{
    const TempDir outside("faciward-outside");
    const fs::path existing = outside / "existing.png";
    const auto tree = [&] {
        std::vector<std::string> out;
        for (const auto &e : fs::recursive_directory_iterator(outside.path()))
            out.push_back(e.path().string() + " " + (fs::is_regular_file(e.status()) ? contents(e.path()) : ""));
        return out;
    };
    const bool root = ::geteuid() == 0;
    const struct
    {
        const char *name;
        std::function<void(const fs::path &picture)> plant;
        std::string refusal; // the start of the error, empty when the picture is stored
    } cases[] = {
        {"dangling link", [&](const fs::path &p) { fs::create_symlink(outside / "planted.png", p); }, ""},
        {"link to a file", [&](const fs::path &p) { fs::create_symlink(existing, p); }, ""},
        {"link to a folder", [&](const fs::path &p) { fs::create_symlink(outside.path(), p); }, ""},
        {"folder others may write",
         [&](const fs::path &p) {
             fs::create_symlink(outside / "planted.png", p);
             fs::permissions(p.parent_path(), fs::perms(0777));
         },
         "filesystem error: other users can write the storage folder (mode 0777); run chmod 700 on it"},
        {"folder of another user",
         [&](const fs::path &p) {
             if (root && ::chown(p.parent_path().c_str(), 65534, 65534) != 0)
                 ADD_FAILURE() << "chown";
         },
         root ? "filesystem error: the storage folder belongs to another user (uid 65534)" : ""},
    };
    const DefaultStorageKey key("lock");
    const auto picture = noise(8, 8, CV_8UC3, 3);
    for (const auto &c : cases) {
        fs::remove_all(standard());
        std::ofstream(existing) << "not to be touched";
        const auto before = tree();
        fs::create_directories(standard());
        c.plant(standard() / "lock.png");
        try {
            EXPECT_EQ(storage.saveImage(picture, key), standard() / "lock.png") << c.name;
            EXPECT_EQ(c.refusal, "") << c.name;
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(standard() / "lock.png"))) << c.name;
            EXPECT_TRUE(samePixels(storage.loadImage(key), picture)) << c.name;
        } catch (const fs::filesystem_error &e) {
            EXPECT_NE(c.refusal, "") << c.name << ": " << e.what();
            EXPECT_TRUE(std::string(e.what()).starts_with(c.refusal)) << c.name << ": " << e.what();
            EXPECT_EQ(e.code(), std::errc::operation_not_permitted) << c.name;
        }
        EXPECT_EQ(tree(), before) << c.name;
        fs::permissions(standard(), fs::perms(0700));
    }
}

TEST(FileStorageDocuments, aDocumentsFolderNamedInLatin1KeepsItsName)
{
    TempHome home;
    // "Documents" in French, with é as the single byte Latin-1 gives it: not UTF-8.
    const fs::path documents = home.path() / "Docum\xe9nts";
    EnvGuard latin1("XDG_DOCUMENTS_DIR", documents.string());
    FileStorage storage;
    const auto picture = noise(8, 8, CV_8UC3, 5);
    EXPECT_EQ(storage.saveImage(picture, DefaultStorageKey("caf\xe9")), documents / "standard" / "caf\xe9.png");
    EXPECT_TRUE(samePixels(storage.loadImage(DefaultStorageKey("caf\xe9")), picture));
    EXPECT_EQ(names(documents / "standard"), std::vector<std::string>{"caf\xe9.png"});
    storage.save(std::vector<double>{0.25}, DefaultStorageKey("values"));
    EXPECT_EQ(storage.load<std::vector<double>>(DefaultStorageKey("values")), std::vector<double>{0.25});
}

TEST(FileStorageDocuments, environmentThenUserDirsThenHomeDocuments)
{
    TempHome home;
    EXPECT_EQ(FileStorage::documentsDirectory(), home.documents());
    {
        EnvGuard relative("XDG_DOCUMENTS_DIR", "relative/docs");
        EXPECT_EQ(FileStorage::documentsDirectory(), home.path() / "Documents");
    }
    EnvGuard unset("XDG_DOCUMENTS_DIR", std::nullopt);
    EXPECT_EQ(FileStorage::documentsDirectory(), home.path() / "Documents");

    fs::create_directories(home.path() / "config");
    std::ofstream(home.path() / "config/user-dirs.dirs") << "# written by xdg-user-dirs-update\n"
                                                          << "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                                                          << "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
    EXPECT_EQ(FileStorage::documentsDirectory(), home.path() / "Dokumente");
    std::ofstream(home.path() / "config/user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"/srv/docs\"\n";
    EXPECT_EQ(FileStorage::documentsDirectory(), fs::path("/srv/docs"));
    std::ofstream(home.path() / "config/user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"$HOME/\"\n";
    EXPECT_EQ(FileStorage::documentsDirectory(), home.path() / "Documents");
}

TEST(FileStorageThreads, concurrentSavesOfOneKeyLeaveOneWholeFile)
{
    TempHome home;
    FileStorage storage;
    constexpr int writers = 4;
    std::vector<cv::Mat> pictures;
    for (int i = 0; i < writers; ++i)
        pictures.push_back(noise(64, 64, CV_8UC3, 100 + i));
    faciward::testing::runTogether(writers, [&](int i) {
        for (int round = 0; round < 10; ++round)
            storage.saveImage(pictures[i], DefaultStorageKey("shared"));
    });
    const auto loaded = storage.loadImage(DefaultStorageKey("shared"));
    EXPECT_TRUE(std::any_of(pictures.begin(), pictures.end(), [&](const cv::Mat &p) { return samePixels(p, loaded); }));
    EXPECT_EQ(names(home.documents() / "standard"), std::vector<std::string>{"shared.png"});
}
