#include "SettingsFile.h"

#include "Platform/Files/AtomicFile.h"
#include "Platform/Files/FileReader.h"
#include "Platform/Settings/Json.h"
#include "Platform/Settings/PlistJson.h"

#include <QFile>
#include <QLockFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace faciward::platform {

namespace {

constexpr int formatVersion = 1;

QString qtPath(const std::filesystem::path &path)
{
    return QFile::decodeName(QByteArray(path.c_str()));
}

std::string errnoText(int error)
{
    return std::strerror(error);
}

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

// Moves @p path to a fresh "<name>.corrupt-<stamp>[-n]" beside it, never over an
// existing file, and returns where it went.
// @throws FileException (notMovedAside) when it could not be moved.
std::filesystem::path setAside(const std::filesystem::path &path)
{
    const std::string base = path.string() + ".corrupt-" + utcStamp();
    for (int attempt = 1; attempt < 1000; ++attempt) {
        std::filesystem::path target = attempt == 1 ? base : base + "-" + std::to_string(attempt);
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
            return target;
        if (errno == EEXIST)
            continue;
        if (errno == EINVAL || errno == ENOSYS) {
            // The file system cannot refuse to replace: look first.
            struct stat info;
            if (::lstat(target.c_str(), &info) == 0)
                continue;
            if (::rename(path.c_str(), target.c_str()) == 0)
                return target;
        }
        fail(FileError::notMovedAside, path, errnoText(errno));
    }
    fail(FileError::notMovedAside, path, "no free name to move it to");
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
    if (::stat(path.c_str(), &info) != 0)
        return Stamp{};
    return stampOf(info);
}

bool SettingsFile::changedOnDisk() const
{
    return stampOf(m_path) != m_stamp;
}

SettingsFile::ReadResult SettingsFile::read()
{
    ReadResult result;
    std::string problem;
    try {
        const auto contents = FileReader::read(m_path);
        result.values = parse(contents.bytes);
        result.status = ReadResult::Status::loaded;
        m_stamp = stampOf(contents.info);
        m_blocked = false;
        return result;
    } catch (const FileException &e) {
        if (e.error() == FileError::missing) {
            m_stamp = Stamp{};
            m_blocked = false;
            return result;
        }
        problem = e.what();
    } catch (const JsonException &e) {
        problem = e.what();
    }

    result.problem = problem;
    try {
        result.setAsidePath = setAside(m_path);
        result.status = ReadResult::Status::setAside;
        m_blocked = false;
    } catch (const FileException &e) {
        result.moveProblem = e.what();
        result.status = ReadResult::Status::blocked;
        m_blocked = true;
        m_blockedProblem = problem;
    }
    m_stamp = stampOf(m_path);
    return result;
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
    AtomicFile::write(m_path, text,
                      [this] { return m_interruption && m_interruption(WriteStep::temporaryWritten); });
    m_stamp = stampOf(m_path);
}

SettingsFile::Lock::Lock(const SettingsFile &file, std::chrono::milliseconds timeout)
    : m_lock(std::make_unique<QLockFile>(qtPath(file.path().string() + ".lock")))
{
    if (m_lock->tryLock(static_cast<int>(timeout.count())))
        return;
    const std::string lockPath = file.path().string() + ".lock";
    switch (m_lock->error()) {
    case QLockFile::LockFailedError:
        fail(FileError::lockNotTaken, lockPath, "another process holds the lock file " + lockPath);
    case QLockFile::PermissionError:
        fail(FileError::lockNotTaken, lockPath, "no permission to create the lock file " + lockPath);
    default:
        fail(FileError::lockNotTaken, lockPath, "cannot create the lock file " + lockPath);
    }
}

SettingsFile::Lock::~Lock()
{
    m_lock->unlock();
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
