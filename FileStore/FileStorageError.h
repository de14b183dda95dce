#pragma once

#include "FileStore/FileStorage.h"

#include <stdexcept>
#include <string_view>

namespace faciward::storage {

/// @brief The bare name of @p error, which is also its printed form
/// ("couldNotLoadImageFromURL").
std::string_view toString(FileStorage::Error error);

/// @brief Thrown by the file store for its own failures; `what()` is the bare
/// case name. Failures of the file system itself come as
/// std::filesystem::filesystem_error instead.
class FileStorageError : public std::runtime_error
{
public:
    explicit FileStorageError(FileStorage::Error error)
        : std::runtime_error(std::string(toString(error)))
        , m_error(error)
    {
    }

    FileStorage::Error error() const noexcept { return m_error; }

private:
    FileStorage::Error m_error;
};

} // namespace faciward::storage
