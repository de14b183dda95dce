#pragma once

#include "Platform/Error/CaseException.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace faciward::platform {

/// @brief Why a file could not be read or replaced.
enum class FileError {
    missing,                  ///< nothing is at the path
    notRegularFile,           ///< something other than a regular file is at the path
    readFailed,               ///< the file could not be opened or read
    temporaryNotCreated,      ///< no temporary file could be made beside the target
    permissionsNotRestricted, ///< the temporary file could not be made private to its owner
    writeFailed,              ///< the new content could not be written in full
    interrupted,              ///< the caller stopped the write before the target was replaced
    replaceFailed,            ///< the temporary file could not be renamed over the target
    folderNotCreated,         ///< a folder of the path could not be created
    notMovedAside,            ///< an unreadable file could not be moved out of the way
    leftUntouched,            ///< a file that could not be read is kept rather than replaced
    lockNotTaken,             ///< the lock file that serialises writers could not be taken
};

/// @brief The case name, e.g. "readFailed".
std::string_view name(FileError error);

/// @brief A FileError with the path it concerns, the system's error number (0 when
/// there is none) and a one-line detail, which is also what().
class FileException : public CaseException<FileError>
{
public:
    FileException(FileError error, std::filesystem::path path, int errorNumber, const std::string &detail);

    const std::filesystem::path &path() const noexcept { return m_path; }
    int errorNumber() const noexcept { return m_errorNumber; }

private:
    std::filesystem::path m_path;
    int m_errorNumber;
};

} // namespace faciward::platform
