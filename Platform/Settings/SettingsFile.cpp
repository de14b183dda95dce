#include "SettingsFile.h"

#include "Platform/Settings/Json.h"

#include <QFile>
#include <QLockFile>
#include <QSaveFile>

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace faciward::platform {

namespace {

constexpr int formatVersion = 1;

std::mutex &interruptionMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::function<bool(SettingsFile::WriteStep)> &interruption()
{
    static std::function<bool(SettingsFile::WriteStep)> function;
    return function;
}

bool interrupted(SettingsFile::WriteStep step)
{
    std::function<bool(SettingsFile::WriteStep)> function;
    {
        std::lock_guard lock(interruptionMutex());
        function = interruption();
    }
    return function && function(step);
}

QString qtPath(const std::filesystem::path &path)
{
    return QFile::decodeName(QByteArray(path.c_str()));
}

std::string errnoText(int error)
{
    return std::strerror(error);
}

// --- writing ---------------------------------------------------------------

bool looksLikeTag(const PlistDictionary &dictionary)
{
    return dictionary.size() == 1 && !dictionary.begin()->first.empty() && dictionary.begin()->first.front() == '$';
}

void writeDouble(std::string &out, double value)
{
    if (std::isfinite(value)) {
        Json::appendDouble(out, value, Json::DoubleForm::markedAsDouble);
        return;
    }
    out += "{\"$double\":\"";
    if (std::isinf(value)) {
        out += value > 0 ? "inf" : "-inf";
    } else {
        const auto bits = std::bit_cast<std::uint64_t>(value);
        if (bits == std::bit_cast<std::uint64_t>(std::numeric_limits<double>::quiet_NaN())) {
            out += "nan";
        } else if (bits == std::bit_cast<std::uint64_t>(-std::numeric_limits<double>::quiet_NaN())) {
            out += "-nan";
        } else {
            char hex[17];
            std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(bits));
            out += "nan:";
            out += hex;
        }
    }
    out += "\"}";
}

void writeValue(std::string &out, const PlistValue &value, int depth)
{
    if (depth >= Json::maxDepth)
        throw JsonException(JsonError::invalidValue, "The value is nested too deeply.");
    const auto writeElement = [depth](std::string &text, const PlistValue &element) {
        writeValue(text, element, depth + 1);
    };
    std::visit(
        [&](const auto &v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, bool>) {
                out += v ? "true" : "false";
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                Json::appendInteger(out, v);
            } else if constexpr (std::is_same_v<T, std::uint64_t>) {
                out += "{\"$uint64\":";
                Json::appendInteger(out, v);
                out += '}';
            } else if constexpr (std::is_same_v<T, double>) {
                writeDouble(out, v);
            } else if constexpr (std::is_same_v<T, std::string>) {
                Json::appendString(out, v);
            } else if constexpr (std::is_same_v<T, PlistData>) {
                out += "{\"$data\":\"";
                out += Json::base64Encode(v);
                out += "\"}";
            } else if constexpr (std::is_same_v<T, PlistDate>) {
                out += "{\"$date\":";
                writeDouble(out, v.secondsSinceReferenceDate);
                out += '}';
            } else if constexpr (std::is_same_v<T, PlistArray>) {
                Json::appendArray(out, v, writeElement);
            } else if constexpr (std::is_same_v<T, PlistDictionary>) {
                const bool wrap = looksLikeTag(v);
                if (wrap)
                    out += "{\"$dict\":";
                Json::appendObject(out, v, writeElement);
                if (wrap)
                    out += '}';
            }
        },
        value.storage());
}

// --- reading ---------------------------------------------------------------

[[noreturn]] void corrupt(const std::string &what)
{
    throw JsonException(JsonError::dataCorrupted, what);
}

double readDouble(const Json::Value &json);

std::optional<double> nonFinite(const std::string &name)
{
    if (name == "nan")
        return std::numeric_limits<double>::quiet_NaN();
    if (name == "-nan")
        return -std::numeric_limits<double>::quiet_NaN();
    if (name == "inf")
        return std::numeric_limits<double>::infinity();
    if (name == "-inf")
        return -std::numeric_limits<double>::infinity();
    if (name.size() == 20 && name.starts_with("nan:")) {
        std::uint64_t bits = 0;
        for (char c : name.substr(4)) {
            int digit = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
            if (digit < 0)
                return std::nullopt;
            bits = (bits << 4) | static_cast<std::uint64_t>(digit);
        }
        const double value = std::bit_cast<double>(bits);
        if (std::isnan(value))
            return value;
    }
    return std::nullopt;
}

double readDouble(const Json::Value &json)
{
    if (json.is_number())
        return json.get<double>();
    if (json.is_object() && json.size() == 1 && json.contains("$double") && json["$double"].is_string()) {
        if (auto value = nonFinite(json["$double"].get<std::string>()))
            return *value;
    }
    corrupt("a number was expected");
}

PlistValue readValue(const Json::Value &json, int depth)
{
    if (depth >= Json::maxDepth)
        corrupt("values are nested too deeply");
    using Type = Json::Value::value_t;
    switch (json.type()) {
    case Type::boolean:
        return PlistValue(json.get<bool>());
    case Type::number_integer:
        return PlistValue(json.get<std::int64_t>());
    case Type::number_unsigned: {
        const auto u = json.get<std::uint64_t>();
        if (u <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return PlistValue(static_cast<std::int64_t>(u));
        return PlistValue(u);
    }
    case Type::number_float:
        return PlistValue(json.get<double>());
    case Type::string:
        return PlistValue(json.get<std::string>());
    case Type::array: {
        PlistArray array;
        array.reserve(json.size());
        for (const auto &element : json)
            array.push_back(readValue(element, depth + 1));
        return PlistValue(std::move(array));
    }
    case Type::object: {
        if (json.size() == 1) {
            const auto first = json.begin();
            const std::string &tag = first.key();
            const Json::Value &payload = first.value();
            if (tag == "$uint64") {
                if (!payload.is_number_unsigned())
                    corrupt("$uint64 holds no unsigned integer");
                return PlistValue(payload.get<std::uint64_t>());
            }
            if (tag == "$double")
                return PlistValue(readDouble(json));
            if (tag == "$data") {
                auto data = payload.is_string() ? Json::base64Decode(payload.get_ref<const std::string &>())
                                                : std::nullopt;
                if (!data)
                    corrupt("$data holds no Base64 text");
                return PlistValue(std::move(*data));
            }
            if (tag == "$date")
                return PlistValue(PlistDate{readDouble(payload)});
            if (tag == "$dict") {
                if (!payload.is_object())
                    corrupt("$dict holds no object");
                PlistDictionary dictionary;
                for (const auto &[key, element] : payload.items())
                    dictionary.insert_or_assign(key, readValue(element, depth + 1));
                return PlistValue(std::move(dictionary));
            }
        }
        PlistDictionary dictionary;
        for (const auto &[key, element] : json.items())
            dictionary.insert_or_assign(key, readValue(element, depth + 1));
        return PlistValue(std::move(dictionary));
    }
    case Type::null:
        corrupt("null is not a setting value");
    case Type::binary:
    case Type::discarded:
        break;
    }
    corrupt("unexpected JSON value");
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

// Moves @p path to a fresh "<name>.corrupt-<stamp>[-n]" beside it, never over an existing file.
bool setAside(const std::filesystem::path &path, std::filesystem::path &target, std::string &problem)
{
    const std::string base = path.string() + ".corrupt-" + utcStamp();
    for (int attempt = 1; attempt < 1000; ++attempt) {
        target = attempt == 1 ? base : base + "-" + std::to_string(attempt);
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
            return true;
        if (errno == EEXIST)
            continue;
        if (errno == EINVAL || errno == ENOSYS) {
            // The file system cannot refuse to replace: look first.
            struct stat info;
            if (::lstat(target.c_str(), &info) == 0)
                continue;
            if (::rename(path.c_str(), target.c_str()) == 0)
                return true;
        }
        problem = errnoText(errno);
        return false;
    }
    problem = "no free name to move it to";
    return false;
}

} // namespace

SettingsFile::SettingsFile(std::filesystem::path path)
    : m_path(std::move(path))
{
}

SettingsFile::~SettingsFile() = default;

SettingsFile::Stamp SettingsFile::stampOf(const std::filesystem::path &path)
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
        return Stamp{};
    return Stamp{true, static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                 static_cast<std::uint64_t>(info.st_size),
                 static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

bool SettingsFile::changedOnDisk() const
{
    return stampOf(m_path) != m_stamp;
}

SettingsFile::ReadResult SettingsFile::read()
{
    ReadResult result;
    std::string problem;
    const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        m_stamp = Stamp{};
        m_blocked = false;
        return result;
    }
    if (fd < 0) {
        problem = errnoText(errno);
    } else {
        struct stat info;
        std::string text;
        if (::fstat(fd, &info) != 0) {
            problem = errnoText(errno);
        } else if (!S_ISREG(info.st_mode)) {
            problem = "it is not a regular file";
        } else {
            text.resize(static_cast<std::size_t>(info.st_size));
            std::size_t done = 0;
            for (;;) {
                if (done == text.size())
                    text.resize(text.size() + 4096);
                const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0) {
                    problem = errnoText(errno);
                    break;
                }
                if (n == 0)
                    break;
                done += static_cast<std::size_t>(n);
            }
            text.resize(done);
        }
        ::close(fd);
        if (problem.empty()) {
            try {
                result.values = parse(text);
                result.status = ReadResult::Status::loaded;
                m_stamp = Stamp{true, static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                                static_cast<std::uint64_t>(info.st_size),
                                static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 +
                                    info.st_mtim.tv_nsec};
                m_blocked = false;
                return result;
            } catch (const JsonException &e) {
                problem = e.what();
            }
        }
    }

    result.problem = problem;
    if (setAside(m_path, result.setAsidePath, result.moveProblem)) {
        result.status = ReadResult::Status::setAside;
        m_blocked = false;
    } else {
        result.status = ReadResult::Status::blocked;
        m_blocked = true;
        m_blockedProblem = problem;
    }
    m_stamp = stampOf(m_path);
    return result;
}

bool SettingsFile::prepareDirectory(std::string &problem)
{
    const auto folder = m_path.parent_path();
    if (folder.empty())
        return true;
    std::filesystem::path partial;
    for (const auto &component : folder) {
        partial /= component;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            problem = "cannot create the folder " + partial.string() + ": " + errnoText(errno);
            return false;
        }
    }
    return true;
}

bool SettingsFile::write(const Values &values, std::string &problem)
{
    if (m_blocked) {
        problem = "the file could not be read (" + m_blockedProblem + ") and is left untouched";
        return false;
    }
    std::string text;
    try {
        text = serialize(values);
    } catch (const JsonException &e) {
        problem = e.what();
        return false;
    }
    if (!prepareDirectory(problem))
        return false;

    QSaveFile file(qtPath(m_path));
    if (!file.open(QIODevice::WriteOnly)) {
        problem = file.errorString().toStdString();
        return false;
    }
    // Biometric data lives here: owner only, whatever the umask or an older file's mode.
    if (::fchmod(file.handle(), 0600) != 0) {
        problem = "cannot restrict the file's permissions: " + errnoText(errno);
        file.cancelWriting();
        return false;
    }
    if (file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())) {
        problem = file.errorString().toStdString();
        file.cancelWriting();
        return false;
    }
    if (interrupted(WriteStep::temporaryWritten)) {
        problem = "the write was interrupted before the file was replaced";
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        problem = file.errorString().toStdString();
        return false;
    }
    // Make the rename itself durable.
    const auto folder = m_path.parent_path().empty() ? std::filesystem::path(".") : m_path.parent_path();
    if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    m_stamp = stampOf(m_path);
    return true;
}

SettingsFile::Lock::Lock(const SettingsFile &file, std::chrono::milliseconds timeout)
    : m_lock(std::make_unique<QLockFile>(qtPath(file.path().string() + ".lock")))
{
    m_acquired = m_lock->tryLock(static_cast<int>(timeout.count()));
    if (!m_acquired) {
        switch (m_lock->error()) {
        case QLockFile::LockFailedError:
            m_problem = "another process holds the lock file " + file.path().string() + ".lock";
            break;
        case QLockFile::PermissionError:
            m_problem = "no permission to create the lock file " + file.path().string() + ".lock";
            break;
        default:
            m_problem = "cannot create the lock file " + file.path().string() + ".lock";
        }
    }
}

SettingsFile::Lock::~Lock()
{
    if (m_acquired)
        m_lock->unlock();
}

std::string SettingsFile::serialize(const Values &values)
{
    std::string out = "{\"formatVersion\":" + std::to_string(formatVersion) + ",\"values\":";
    Json::appendObject(out, values, [](std::string &text, const std::shared_ptr<const PlistValue> &value) {
        writeValue(text, *value, 1);
    });
    out += "}\n";
    return out;
}

SettingsFile::Values SettingsFile::parse(std::string_view text)
{
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
            result.insert_or_assign(key, std::make_shared<const PlistValue>(readValue(json, 1)));
        } catch (const JsonException &e) {
            throw e.nestedIn(key);
        }
    }
    return result;
}

void SettingsFile::setWriteInterruption(std::function<bool(WriteStep)> function)
{
    std::lock_guard lock(interruptionMutex());
    interruption() = std::move(function);
}

} // namespace faciward::platform
