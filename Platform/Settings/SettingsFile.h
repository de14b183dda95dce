#pragma once

#include "Platform/Settings/PlistValue.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct stat;

namespace faciward::platform {

/// @brief The file behind a SettingsStore's application domain. Internal to the
/// settings store; not thread-safe on its own (the store serialises its use).
///
/// On disk: UTF-8 JSON, {"formatVersion":1,"values":{ name: value, … }}, each value
/// in the tagged form of PlistJson.
class SettingsFile
{
public:
    using Values = std::map<std::string, std::shared_ptr<const PlistValue>, std::less<>>;

    /// @brief Points between the steps of a write where a failure can be injected.
    enum class WriteStep {
        temporaryWritten, ///< the new content is in the temporary file, not yet renamed over the old one
    };

    struct ReadResult
    {
        enum class Status {
            missing,   ///< there is no file: no values
            loaded,    ///< values read
            corrupt,   ///< the file does not parse; it is left where it is
            leftAlone, ///< not a regular file, a dangling link, unreadable, or of a newer format:
                       ///< left untouched, and writes refuse to replace it
        };
        Status status = Status::missing;
        Values values;
        std::string problem; ///< why the file was not read (corrupt, leftAlone)
        /// loaded: why other users could change the file, when they can (its
        /// values may then have been written by someone else); empty when safe.
        std::string unsafe;
    };

    explicit SettingsFile(std::filesystem::path path);
    ~SettingsFile();
    SettingsFile(const SettingsFile &) = delete;
    SettingsFile &operator=(const SettingsFile &) = delete;

    const std::filesystem::path &path() const { return m_path; }

    /// @brief Reads the file, once, without blocking and without changing it,
    /// except that a file of this user's that others may write is made 0600.
    ReadResult read();

    /// @brief As read(), but a file that does not parse is read again with a
    /// short back-off while it keeps changing (another program writing it in
    /// place), for at most about 1.5 s.
    ReadResult readSettled();

    /// @brief Copies a corrupt file to "<name>.corrupt-<UTC time stamp>" (never
    /// over an existing file), once for each content: an earlier copy of the
    /// same bytes is returned instead. The file stays where it is, so that a
    /// program still writing it is not cut off. After the copy, a
    /// write may replace it. Returns the copy, or nothing with @p problem.
    std::optional<std::filesystem::path> copyAside(std::string &problem);

    /// @brief True when the file was replaced, changed or removed since it was last
    /// read or written through this object.
    bool changedOnDisk() const;

    /// @brief True when the file last read does not parse and no copy of it is
    /// kept yet: a write must copy it aside first.
    bool awaitsCopy() const { return m_stamp.exists && m_stamp == m_corruptStamp && !m_corruptCopied; }

    /// @brief Creates the missing folders of the path with mode 0700.
    /// @throws FileException (folderNotCreated).
    void prepareDirectory() const;

    /// @brief Replaces the file with @p values atomically (AtomicFile). On failure
    /// the old file is left as it was.
    /// @throws FileException (leftUntouched for a file that could not be read, or
    /// the failed step) or JsonException (invalidValue); what() says why.
    void write(const Values &values);

    /// @brief Holds the lock file "<name>.lock" that serialises writers across
    /// processes (an exclusive flock on it, which Qt's QLockFile takes as well),
    /// waiting for it at most @p timeout. The file exists while it is held.
    class Lock
    {
    public:
        /// @throws FileException (lockNotTaken) when it could not be taken.
        explicit Lock(const SettingsFile &file, std::chrono::milliseconds timeout = std::chrono::seconds(10));
        ~Lock();
        Lock(const Lock &) = delete;
        Lock &operator=(const Lock &) = delete;

    private:
        std::string m_path;
        int m_fd = -1;
    };

    /// @brief The text written for @p values.
    /// @throws JsonException (invalidValue) for text that is not UTF-8.
    static std::string serialize(const Values &values);
    /// @brief The values of a file's text.
    /// @throws JsonException (dataCorrupted, typeMismatch) when it is not such a file.
    static Values parse(std::string_view text);

    /// @brief Asked at each WriteStep of a write; true stops the write there as if
    /// the step had failed.
    using WriteInterruption = std::function<bool(WriteStep)>;

    /// @brief Calls @p interruption at each WriteStep of this file's writes. An
    /// empty function removes it. Public for fault-injection tests: on a healthy
    /// disk nothing else makes a write fail between two chosen steps.
    void setWriteInterruption(WriteInterruption interruption);

private:
    struct Stamp
    {
        bool exists = false;
        std::uint64_t device = 0, inode = 0, size = 0;
        std::int64_t modifiedNs = 0;
        int error = 0; // when it does not exist: why stat() found nothing
        bool operator==(const Stamp &) const = default;
    };
    static Stamp stampOf(const struct stat &info);
    // Marks the file as one writes must not replace, for @p problem.
    ReadResult leaveAlone(std::string problem);
    static Stamp stampOf(const std::filesystem::path &path);

    std::filesystem::path m_path;
    Stamp m_stamp;
    bool m_blocked = false;
    std::string m_blockedProblem;
    // The version of a corrupt file that was read last, and whether it was copied aside.
    Stamp m_corruptStamp;
    bool m_corruptCopied = false;
    WriteInterruption m_interruption;
};

} // namespace faciward::platform
