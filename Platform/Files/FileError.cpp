#include "Platform/Files/FileError.h"

#include <iterator>

namespace faciward::platform {

std::string_view name(FileError error)
{
    // In the order of the enumeration.
    static constexpr std::string_view names[] = {
        "missing",      "notRegularFile",   "readFailed",    "temporaryNotCreated", "permissionsNotRestricted",
        "writeFailed",  "interrupted",      "replaceFailed", "folderNotCreated",    "notMovedAside",
        "leftUntouched", "lockNotTaken",
    };
    const auto index = static_cast<std::size_t>(error);
    return index < std::size(names) ? names[index] : "unknown";
}

FileException::FileException(FileError error, std::filesystem::path path, int errorNumber, const std::string &detail)
    : CaseException<FileError>(error, detail)
    , m_path(std::move(path))
    , m_errorNumber(errorNumber)
{
}

} // namespace faciward::platform
