#include "Platform/Files/FileError.h"

namespace faciward::platform {

std::string_view name(FileError error)
{
    switch (error) {
    case FileError::missing:
        return "missing";
    case FileError::notRegularFile:
        return "notRegularFile";
    case FileError::readFailed:
        return "readFailed";
    case FileError::temporaryNotCreated:
        return "temporaryNotCreated";
    case FileError::permissionsNotRestricted:
        return "permissionsNotRestricted";
    case FileError::writeFailed:
        return "writeFailed";
    case FileError::interrupted:
        return "interrupted";
    case FileError::replaceFailed:
        return "replaceFailed";
    case FileError::folderNotCreated:
        return "folderNotCreated";
    case FileError::notMovedAside:
        return "notMovedAside";
    case FileError::leftUntouched:
        return "leftUntouched";
    case FileError::lockNotTaken:
        return "lockNotTaken";
    }
    return "unknown";
}

FileException::FileException(FileError error, std::filesystem::path path, int errorNumber, const std::string &detail)
    : CaseException<FileError>(error, detail)
    , m_path(std::move(path))
    , m_errorNumber(errorNumber)
{
}

} // namespace faciward::platform
