#pragma once

#include "FileStore/FileStorage.h"
#include "Platform/Error/CaseException.h"

#include <string_view>

namespace faciward::storage {

/// @brief The bare name of @p error, which is also its printed form
/// ("couldNotLoadImageFromURL").
std::string_view name(FileStorage::Error error);

/// @brief Thrown by the file store for its own failures; `what()` is the bare
/// case name. Failures of the file system itself come as
/// std::filesystem::filesystem_error instead.
using FileStorageError = platform::CaseException<FileStorage::Error>;

} // namespace faciward::storage
