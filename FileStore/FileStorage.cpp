#include "FileStorage.h"

#include "FileStorageError.h"

#include <opencv2/imgcodecs.hpp>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace faciward::storage {

namespace fs = std::filesystem;

std::string_view toString(FileStorage::Error error)
{
    switch (error) {
    case FileStorage::Error::platformNotSupported:
        return "platformNotSupported";
    case FileStorage::Error::couldNotCreatePngData:
        return "couldNotCreatePngData";
    case FileStorage::Error::couldNotLoadImage:
        return "couldNotLoadImage";
    case FileStorage::Error::couldNotGetImageTiffRepresentation:
        return "couldNotGetImageTiffRepresentation";
    case FileStorage::Error::couldNotLoadImageFromURL:
        return "couldNotLoadImageFromURL";
    case FileStorage::Error::invalidKey:
        return "invalidKey";
    }
    return "unknown";
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

std::optional<std::string> environment(const char *name)
{
    const char *value = std::getenv(name);
    if (!value || !*value)
        return std::nullopt;
    return std::string(value);
}

std::optional<fs::path> homeDirectory()
{
    if (auto home = environment("HOME"))
        return fs::path(*home);
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd *found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir &&
        *found->pw_dir)
        return fs::path(found->pw_dir);
    return std::nullopt;
}

// The documents entry of user-dirs.dirs: XDG_DOCUMENTS_DIR="$HOME/Documents".
std::optional<fs::path> userDirsDocuments(const fs::path &home)
{
    fs::path config = home / ".config";
    if (auto xdg = environment("XDG_CONFIG_HOME"); xdg && fs::path(*xdg).is_absolute())
        config = *xdg;
    std::ifstream in(config / "user-dirs.dirs");
    const std::string prefix = "XDG_DOCUMENTS_DIR=\"";
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(prefix, 0) != 0 || line.size() < prefix.size() + 1 || line.back() != '"')
            continue;
        std::string value = line.substr(prefix.size(), line.size() - prefix.size() - 1);
        fs::path path;
        if (value.rfind("$HOME", 0) == 0)
            path = home.string() + value.substr(5);
        else if (!value.empty() && value.front() == '/')
            path = value;
        else
            continue;
        // An entry that is the home folder itself means "no documents folder".
        if (fs::path(path).lexically_normal() == fs::path(home / "").lexically_normal())
            return std::nullopt;
        return path;
    }
    return std::nullopt;
}

// Writes to a private temporary file beside the target and renames it into
// place, so the target is never seen half-written.
void writeAtomically(const fs::path &target, const void *data, std::size_t size)
{
    std::string temporary = (target.parent_path() / ".faciward-XXXXXX").string();
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        failSystem("cannot create a temporary file", target.parent_path(), errno);
    auto abandon = [&](const char *what) {
        const int error = errno;
        ::close(fd);
        ::unlink(temporary.c_str());
        failSystem(what, target, error);
    };
    if (::fchmod(fd, 0600) != 0)
        abandon("cannot restrict the file's permissions");
    const char *bytes = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            abandon("cannot write the file");
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    if (::fsync(fd) != 0)
        abandon("cannot write the file");
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        failSystem("cannot write the file", target, error);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        failSystem("cannot replace the file", target, error);
    }
}

// The whole file, or none with errno telling why.
std::optional<std::string> readWhole(const fs::path &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            errno = error;
            return std::nullopt;
        }
        if (got == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return bytes;
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
    if (auto documents = environment("XDG_DOCUMENTS_DIR"); documents && fs::path(*documents).is_absolute())
        return *documents;
    const auto home = homeDirectory();
    if (!home)
        fail(Error::platformNotSupported);
    if (auto documents = userDirsDocuments(*home))
        return *documents;
    return *home / "Documents";
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

    std::error_code error;
    if (fs::is_directory(path, error))
        return path;
    if (fs::exists(path, error))
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

void FileStorage::writeValue(const std::string &bytes, const StorageKey &key) const
{
    const std::string name = checkedKey(key);
    writeAtomically(folderPath(key) / name, bytes.data(), bytes.size());
}

std::string FileStorage::readValue(const StorageKey &key) const
{
    const std::string name = checkedKey(key);
    const fs::path path = folderPath(key) / name;
    auto bytes = readWhole(path);
    if (!bytes)
        failSystem("cannot read the file", path, errno);
    return *bytes;
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
    const auto bytes = readWhole(folderPath(key) / (name + ".png"));
    if (!bytes || bytes->empty())
        fail(Error::couldNotLoadImageFromURL);
    cv::Mat image;
    try {
        const cv::Mat raw(1, static_cast<int>(bytes->size()), CV_8UC1, const_cast<char *>(bytes->data()));
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
