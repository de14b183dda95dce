#pragma once

#include "Platform/Files/FileError.h"

#include <filesystem>
#include <string>

#include <sys/stat.h>

namespace faciward::platform {

/// @brief Reads whole regular files.
class FileReader
{
public:
    /// @brief A file's bytes with its status as it was opened.
    struct Contents
    {
        std::string bytes;
        struct stat info;
    };

    FileReader() = delete;

    /// @brief The whole of the regular file at @p path.
    /// @throws FileException (missing, notRegularFile or readFailed; the detail is
    /// the system's text or "it is not a regular file").
    static Contents read(const std::filesystem::path &path);
};

} // namespace faciward::platform
