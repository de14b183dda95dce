#pragma once

#include "Platform/Files/FileError.h"

#include <filesystem>
#include <functional>
#include <string_view>

namespace faciward::platform {

/// @brief Replaces whole files so that a reader sees the old content or the new,
/// never a part, and a crash leaves one of the two on disk.
class AtomicFile
{
public:
    /// @brief Asked after the new content is in the temporary file and before it
    /// replaces the target; true stops the write there (fault-injection tests).
    using Interruption = std::function<bool()>;

    AtomicFile() = delete;

    /// @brief Replaces @p target with @p bytes: a temporary file in the same folder
    /// (QSaveFile), private to its owner (0600), synced, renamed over the target,
    /// then the folder synced so that the rename itself survives a crash. On failure
    /// the target is left as it was and no temporary file remains.
    /// @throws FileException (temporaryNotCreated, permissionsNotRestricted,
    /// writeFailed, interrupted or replaceFailed).
    static void write(const std::filesystem::path &target, std::string_view bytes,
                      const Interruption &interruption = {});
};

} // namespace faciward::platform
