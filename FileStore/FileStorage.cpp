#include "FileStorage.h"

#include "FileStorageError.h"

#include "Platform/Files/AtomicFile.h"
#include "Platform/Files/FileReader.h"
#include "Platform/Files/FolderOwnership.h"
#include "Platform/Files/XdgFolders.h"

#include <opencv2/imgcodecs.hpp>

#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace faciward::storage {

namespace fs = std::filesystem;

std::string_view name(FileStorage::Error error)
{
    // In the order of the enumeration.
    static constexpr std::string_view names[] = {
        "platformNotSupported",     "couldNotCreatePngData", "couldNotLoadImage",  "couldNotGetImageTiffRepresentation",
        "couldNotLoadImageFromURL", "invalidKey",            "couldNotEncodeValue", "couldNotDecodeValue",
    };
    const auto index = static_cast<std::size_t>(error);
    return index < std::size(names) ? names[index] : "unknown";
}

namespace {

[[noreturn]] void fail(FileStorage::Error error)
{
    throw FileStorageError(error);
}

[[noreturn]] void failSystem(const std::string &what, const fs::path &path, int error)
{
    throw fs::filesystem_error(what, path, std::error_code(error, std::system_category()));
}

// A plain file name: nothing that could climb out of, or reach below, the folder.
bool isPlainName(std::string_view name)
{
    return !name.empty() && name != "." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos && name.find("..") == std::string_view::npos;
}

std::string checkedKey(const StorageKey &key)
{
    std::string name = key.key();
    if (!isPlainName(name))
        fail(FileStorage::Error::invalidKey);
    return name;
}

// A folder others can change is no place for the user's files: a link planted
// there, or a file swapped after the write, would put them where others chose.
void requireOwnFolder(const fs::path &folder)
{
    const auto finding = platform::FolderOwnership::of(folder);
    if (finding.kind == platform::FolderOwnership::Kind::otherOwner)
        failSystem("the storage folder belongs to another user (uid " + std::to_string(finding.owner) + ")", folder,
                   EPERM);
    if (finding.kind == platform::FolderOwnership::Kind::othersMayWrite)
        failSystem("other users can write the storage folder (mode " +
                       platform::FolderOwnership::modeText(finding.mode) + "); run chmod 700 on it",
                   folder, EPERM);
}

// Replaces @p target atomically, failing with the file system's error and the
// store's own wording of the step that failed. A link at @p target is replaced,
// never written through.
void writeAtomically(const fs::path &target, const void *data, std::size_t size)
{
    requireOwnFolder(target.parent_path());
    try {
        platform::AtomicFile::write(target, std::string_view(static_cast<const char *>(data), size));
    } catch (const platform::FileException &e) {
        const char *what = "cannot write the file";
        fs::path path = target;
        switch (e.error()) {
        case platform::FileError::temporaryNotCreated:
            what = "cannot create a temporary file";
            path = target.parent_path();
            break;
        case platform::FileError::permissionsNotRestricted:
            what = "cannot restrict the file's permissions";
            break;
        case platform::FileError::replaceFailed:
            what = "cannot replace the file";
            break;
        default:
            break;
        }
        failSystem(what, path, e.errorNumber() != 0 ? e.errorNumber() : EIO);
    }
}

std::vector<uchar> encodePng(const cv::Mat &image)
{
    if (image.empty())
        fail(FileStorage::Error::couldNotGetImageTiffRepresentation);
    const int depth = image.depth();
    const int channels = image.channels();
    if ((depth != CV_8U && depth != CV_16U) || (channels != 1 && channels != 3 && channels != 4))
        fail(FileStorage::Error::couldNotCreatePngData);
    std::vector<uchar> png;
    try {
        if (!cv::imencode(".png", image, png) || png.empty())
            fail(FileStorage::Error::couldNotCreatePngData);
    } catch (const cv::Exception &) {
        fail(FileStorage::Error::couldNotCreatePngData);
    }
    return png;
}

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    return (c | 0x20) - 'a' + 10;
}

// The characters a URL may hold outside of percent escapes.
bool isUrlCharacter(char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return std::string_view("-._~:/?#[]@!$&'()*+,;=").find(c) != std::string_view::npos;
}

// The decoded path of a relative URL text, or none when the text is no URL.
std::optional<std::string> decodedUrlPath(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%') {
            if (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2]))
                return std::nullopt;
            i += 2;
        } else if (!isUrlCharacter(text[i])) {
            return std::nullopt;
        }
    }
    text = text.substr(0, text.find_first_of("?#"));
    std::string path;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%') {
            path.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else {
            path.push_back(text[i]);
        }
    }
    return path;
}

} // namespace

fs::path FileStorage::documentsDirectory()
{
    auto documents = platform::XdgFolders::documents();
    if (!documents)
        fail(Error::platformNotSupported);
    return *documents;
}

std::string FileStorage::fileURL(const fs::path &path)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (const unsigned char c : fs::absolute(path).string()) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           std::string_view("-._~!$&'()*+,;=:@/").find(static_cast<char>(c)) != std::string_view::npos;
        if (plain) {
            url.push_back(static_cast<char>(c));
        } else {
            url.push_back('%');
            url.push_back(digits[c >> 4]);
            url.push_back(digits[c & 0xF]);
        }
    }
    return url;
}

fs::path FileStorage::folderPath(const StorageKey &key) const
{
    const std::string folder = key.folder().value_or(std::string(defaultFolder));
    if (!isPlainName(folder))
        fail(Error::invalidKey);
    const fs::path documents = documentsDirectory();
    const fs::path path = documents / folder / "";

    // One look at the folder: asked twice, a folder that another thread made
    // between the two questions would read as "there, but no folder".
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (fs::is_directory(status))
        return path;
    if (fs::exists(status))
        failSystem("cannot use the storage folder", path, ENOTDIR);
    // The documents folder may be missing on a fresh account; it gets the
    // usual permissions, the store's own folder private ones.
    fs::create_directories(documents);
    if (::mkdir(fs::path(documents / folder).c_str(), 0700) != 0 && errno != EEXIST)
        failSystem("cannot create the storage folder", path, errno);
    if (!fs::is_directory(path))
        failSystem("cannot use the storage folder", path, ENOTDIR);
    return path;
}

std::optional<fs::path> FileStorage::optionalFolderPath(const StorageKey &key) const noexcept
{
    try {
        return folderPath(key);
    } catch (...) {
        return std::nullopt;
    }
}

bool FileStorage::exists(const StorageKey &key) const noexcept
{
    try {
        const std::string name = checkedKey(key);
        std::error_code error;
        return fs::exists(folderPath(key) / name, error);
    } catch (...) {
        return false;
    }
}

void FileStorage::save(const platform::Json::Value &value, const StorageKey &key) const
{
    std::string bytes;
    encode([&] { bytes = platform::Json::encode(value); });
    const std::string name = checkedKey(key);
    writeAtomically(folderPath(key) / name, bytes.data(), bytes.size());
}

platform::Json::Value FileStorage::load(const StorageKey &key) const
{
    const std::string name = checkedKey(key);
    const fs::path path = folderPath(key) / name;
    std::string bytes;
    try {
        bytes = platform::FileReader::read(path).bytes;
    } catch (const platform::FileException &e) {
        failSystem("cannot read the file", path, e.errorNumber());
    }
    platform::Json::Value value;
    decode([&] { value = platform::Json::decode(bytes); });
    return value;
}

fs::path FileStorage::saveImage(const cv::Mat &image, const StorageKey &key) const
{
    const std::string name = checkedKey(key);
    const fs::path path = folderPath(key) / (name + ".png");
    const auto png = encodePng(image);
    writeAtomically(path, png.data(), png.size());
    return path;
}

fs::path FileStorage::saveToTemporaryFile(const cv::Mat &image, const StorageKey &key) const
{
    const fs::path path = temporaryURL(key, "png");
    const auto png = encodePng(image);
    writeAtomically(path, png.data(), png.size());
    return path;
}

cv::Mat FileStorage::loadImage(const StorageKey &key) const
{
    const std::string name = checkedKey(key);
    std::string bytes;
    try {
        bytes = platform::FileReader::read(folderPath(key) / (name + ".png")).bytes;
    } catch (const platform::FileException &) {
        fail(Error::couldNotLoadImageFromURL);
    }
    if (bytes.empty())
        fail(Error::couldNotLoadImageFromURL);
    cv::Mat image;
    try {
        const cv::Mat raw(1, static_cast<int>(bytes.size()), CV_8UC1, bytes.data());
        image = cv::imdecode(raw, cv::IMREAD_COLOR);
    } catch (const cv::Exception &) {
        fail(Error::couldNotLoadImageFromURL);
    }
    if (image.empty())
        fail(Error::couldNotLoadImageFromURL);
    return image;
}

bool FileStorage::removeImage(const StorageKey &key) const
{
    const std::string name = checkedKey(key);
    const fs::path path = folderPath(key) / (name + ".png");
    std::error_code error;
    return fs::remove(path, error);
}

bool FileStorage::remove(const StorageKey &urlKey) const noexcept
{
    try {
        const auto name = decodedUrlPath(urlKey.key());
        if (!name || !isPlainName(*name))
            return false;
        const auto folder = optionalFolderPath(urlKey);
        if (!folder)
            return false;
        std::error_code error;
        return fs::remove(*folder / *name, error);
    } catch (...) {
        return false;
    }
}

fs::path FileStorage::temporaryURL(const StorageKey &key, const std::string &extension) const
{
    const std::string name = checkedKey(key);
    if (!isPlainName(extension))
        fail(Error::invalidKey);
    std::string pattern = (fs::temp_directory_path() / "faciward-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        failSystem("cannot create a temporary folder", fs::temp_directory_path(), errno);
    return fs::path(pattern) / (name + "." + extension);
}

} // namespace faciward::storage
