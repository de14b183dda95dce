#include "SettingsFile.h"

#include "Platform/Files/AtomicFile.h"
#include "Platform/Error/ErrnoText.h"
#include "Platform/Files/FileReader.h"
#include "Platform/Files/FolderOwnership.h"
#include "Platform/Settings/Json.h"
#include "Platform/Settings/PlistJson.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace faciward::platform {

namespace {

constexpr int formatVersion = 1;

[[noreturn]] void fail(FileError error, const std::filesystem::path &path, const std::string &problem)
{
    throw FileException(error, path, 0, problem);
}

std::string utcStamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    ::gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &parts);
    return text;
}

// An earlier "<name>.corrupt-…" copy beside @p path that holds @p bytes.
std::optional<std::filesystem::path> earlierCopy(const std::filesystem::path &path, const std::string &bytes)
{
    const std::string prefix = path.filename().native() + ".corrupt-";
    const auto folder = path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().native();
        if (name.rfind(prefix, 0) != 0)
            continue;
        std::error_code sizeError;
        if (it->is_symlink(sizeError) || it->file_size(sizeError) != bytes.size() || sizeError)
            continue;
        try {
            if (FileReader::read(it->path()).bytes == bytes)
                return it->path();
        } catch (const FileException &) {
        }
    }
    return std::nullopt;
}

// Copies @p bytes to a fresh "<name>.corrupt-<stamp>[-n]" beside @p path, never over an existing file.
bool copyTo(const std::filesystem::path &path, const std::string &bytes, std::filesystem::path &target,
            std::string &problem)
{
    const std::string base = path.string() + ".corrupt-" + utcStamp();
    for (int attempt = 1; attempt < 1000; ++attempt) {
        target = attempt == 1 ? base : base + "-" + std::to_string(attempt);
        const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0) {
            problem = errnoText(errno);
            return false;
        }
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                problem = errnoText(errno);
                ::close(fd);
                ::unlink(target.c_str());
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        ::fsync(fd);
        ::close(fd);
        return true;
    }
    problem = "no free name to copy it to";
    return false;
}

// The format version of a file's text when it is a newer one than this program writes.
std::optional<std::int64_t> newerFormatVersion(std::string_view text)
{
    try {
        const Json::Value document = Json::decode(text);
        const auto version = document.is_object() ? document.find("formatVersion") : document.end();
        if (version != document.end() && version->is_number_integer() && version->get<std::int64_t>() > formatVersion)
            return version->get<std::int64_t>();
    } catch (const JsonException &) {
    }
    return std::nullopt;
}

// Why other users could have written what the file says, with how to fix it;
// empty when only this user can. The file's mode is tightened when it is this
// user's own, but what it holds now stays untrusted for this reading.
std::string unsafeBecause(const std::filesystem::path &path, const struct stat &file)
{
    const uid_t me = ::geteuid();
    if (file.st_uid != me)
        return "it belongs to another user (uid " + std::to_string(file.st_uid) +
               "); remove it, or make it yours with chown, then enrol again";
    if (file.st_mode & (S_IWGRP | S_IWOTH)) {
        const bool tightened = ::chmod(path.c_str(), 0600) == 0;
        return "other users could write it (mode " + FolderOwnership::modeText(file.st_mode) + ")" +
               (tightened ? "; its mode is now 0600: enrol again to trust it" : "; run chmod 600 on it, then enrol again");
    }
    const auto folder = path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
    const auto finding = FolderOwnership::of(folder);
    switch (finding.kind) {
    case FolderOwnership::Kind::otherOwner:
        return "its folder " + folder.string() + " belongs to another user; keep the file in a folder of your own";
    case FolderOwnership::Kind::othersMayWrite:
        return "other users can write its folder " + folder.string() + " (mode " +
               FolderOwnership::modeText(finding.mode) + "); run chmod 700 on the folder, then enrol again";
    default:
        return {};
    }
}

} // namespace

SettingsFile::SettingsFile(std::filesystem::path path)
    : m_path(std::move(path))
{
}

SettingsFile::~SettingsFile() = default;

SettingsFile::Stamp SettingsFile::stampOf(const struct stat &info)
{
    return Stamp{true, static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                 static_cast<std::uint64_t>(info.st_size),
                 static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

SettingsFile::Stamp SettingsFile::stampOf(const std::filesystem::path &path)
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) {
        // Why there is no file tells a removed one from a link loop put in its place.
        Stamp missing;
        missing.error = errno;
        return missing;
    }
    return stampOf(info);
}

bool SettingsFile::changedOnDisk() const
{
    return stampOf(m_path) != m_stamp;
}

SettingsFile::ReadResult SettingsFile::leaveAlone(std::string problem)
{
    ReadResult result;
    result.status = ReadResult::Status::leftAlone;
    result.problem = problem;
    m_blocked = true;
    m_blockedProblem = std::move(problem);
    m_stamp = stampOf(m_path);
    return result;
}

SettingsFile::ReadResult SettingsFile::read()
{
    FileReader::Contents contents;
    try {
        contents = FileReader::read(m_path);
    } catch (const FileException &e) {
        struct stat link{};
        if (e.error() != FileError::missing)
            return leaveAlone(e.what());
        if (::lstat(m_path.c_str(), &link) == 0 && S_ISLNK(link.st_mode))
            return leaveAlone("it is a symbolic link to a file that does not exist");
        m_stamp = stampOf(m_path);
        m_blocked = false;
        return {};
    }
    ReadResult result;
    try {
        result.values = parse(contents.bytes);
    } catch (const JsonException &e) {
        if (const auto version = newerFormatVersion(contents.bytes))
            return leaveAlone("it has the format version " + std::to_string(*version) +
                              ", newer than this program knows");
        result.status = ReadResult::Status::corrupt;
        result.problem = e.what();
        m_stamp = stampOf(contents.info);
        if (m_stamp != m_corruptStamp) {
            m_corruptStamp = m_stamp;
            m_corruptCopied = false;
        }
        // Replaced only once a copy of it is kept.
        m_blocked = !m_corruptCopied;
        m_blockedProblem = result.problem;
        return result;
    }
    result.status = ReadResult::Status::loaded;
    result.unsafe = unsafeBecause(m_path, contents.info);
    m_stamp = stampOf(contents.info);
    m_blocked = false;
    return result;
}

SettingsFile::ReadResult SettingsFile::readSettled()
{
    using namespace std::chrono_literals;
    constexpr auto limit = 1500ms, settled = 300ms;
    auto result = read();
    auto pause = 10ms, waited = 0ms, quiet = 0ms;
    while (result.status == ReadResult::Status::corrupt && waited < limit && quiet < settled) {
        std::this_thread::sleep_for(pause);
        waited += pause;
        if (stampOf(m_path) == m_stamp) {
            quiet += pause;
        } else {
            quiet = 0ms;
            result = read();
        }
        pause = std::min(pause * 2, 160ms);
    }
    return result;
}

std::optional<std::filesystem::path> SettingsFile::copyAside(std::string &problem)
{
    FileReader::Contents contents;
    try {
        contents = FileReader::read(m_path);
    } catch (const FileException &e) {
        problem = e.what();
        return std::nullopt;
    }
    // One copy for each content: a program run again and again over the same
    // broken file must not fill the folder with copies of it.
    std::filesystem::path target;
    if (auto earlier = earlierCopy(m_path, contents.bytes))
        target = *earlier;
    else if (!copyTo(m_path, contents.bytes, target, problem))
        return std::nullopt;
    if (stampOf(contents.info) == m_corruptStamp) {
        m_corruptCopied = true;
        m_blocked = false;
    }
    return target;
}

void SettingsFile::prepareDirectory() const
{
    std::filesystem::path partial;
    for (const auto &component : m_path.parent_path()) {
        partial /= component;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST)
            fail(FileError::folderNotCreated, partial,
                 "cannot create the folder " + partial.string() + ": " + errnoText(errno));
    }
}

void SettingsFile::write(const Values &values)
{
    if (m_blocked)
        fail(FileError::leftUntouched, m_path,
             "the file could not be read (" + m_blockedProblem + ") and is left untouched");
    const std::string text = serialize(values);
    prepareDirectory();
    // A settings file kept elsewhere behind a link (as dotfile managers do) is
    // written where it lives, and the link stays.
    std::filesystem::path target = m_path;
    struct stat link{};
    if (::lstat(m_path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        std::error_code error;
        if (auto real = std::filesystem::canonical(m_path, error); !error)
            target = real;
    }
    AtomicFile::write(target, text,
                      [this] { return m_interruption && m_interruption(WriteStep::temporaryWritten); });
    m_stamp = stampOf(m_path);
}

SettingsFile::Lock::Lock(const SettingsFile &file, std::chrono::milliseconds timeout)
    : m_path(file.path().native() + ".lock")
{
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (auto pause = 5ms;; pause = std::min(pause * 2, 100ms)) {
        m_fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
        if (m_fd < 0) {
            const int error = errno;
            fail(FileError::lockNotTaken, m_path,
                 error == EACCES ? "no permission to create the lock file " + m_path
                                 : "cannot create the lock file " + m_path + ": " + errnoText(error));
        }
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
            // The holder before us removes the file as it lets go: the lock is
            // ours only if the file we locked is still the one at the path.
            struct stat locked{}, current{};
            if (::fstat(m_fd, &locked) == 0 && ::stat(m_path.c_str(), &current) == 0 &&
                locked.st_dev == current.st_dev && locked.st_ino == current.st_ino)
                return;
        } else if (errno != EWOULDBLOCK && errno != EINTR) {
            const int error = errno;
            ::close(m_fd);
            fail(FileError::lockNotTaken, m_path, "cannot lock the lock file " + m_path + ": " + errnoText(error));
        }
        ::close(m_fd);
        m_fd = -1;
        if (std::chrono::steady_clock::now() >= deadline)
            fail(FileError::lockNotTaken, m_path, "another process holds the lock file " + m_path);
        std::this_thread::sleep_for(pause);
    }
}

SettingsFile::Lock::~Lock()
{
    // Removed while still held, so that no one takes a lock on a file that is
    // about to go.
    ::unlink(m_path.c_str());
    ::close(m_fd);
}

std::string SettingsFile::serialize(const Values &values)
{
    std::string out = "{\"formatVersion\":" + std::to_string(formatVersion) + ",\"values\":";
    Json::appendObject(out, values, [](std::string &text, const std::shared_ptr<const PlistValue> &value) {
        PlistJson::append(text, *value, 1);
    });
    out += "}\n";
    return out;
}

SettingsFile::Values SettingsFile::parse(std::string_view text)
{
    const auto corrupt = [](const std::string &what) { throw JsonException(JsonError::dataCorrupted, what); };
    const Json::Value document = Json::decode(text);
    if (!document.is_object())
        corrupt("the file holds no JSON object");
    const auto version = document.find("formatVersion");
    if (version == document.end() || !version->is_number_integer())
        corrupt("the file has no format version");
    if (version->get<std::int64_t>() != formatVersion)
        corrupt("the file has the unknown format version " + version->dump());
    const auto values = document.find("values");
    if (values == document.end() || !values->is_object())
        corrupt("the file has no values");
    Values result;
    for (const auto &[key, json] : values->items()) {
        try {
            result.insert_or_assign(key, std::make_shared<const PlistValue>(PlistJson::read(json, 1)));
        } catch (const JsonException &e) {
            throw e.nestedIn(key);
        }
    }
    return result;
}

void SettingsFile::setWriteInterruption(WriteInterruption interruption)
{
    m_interruption = std::move(interruption);
}

} // namespace faciward::platform
