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

    /// @brief Replaces @p target with @p bytes: a fresh temporary file in the same
    /// folder ("<name>.XXXXXX", created exclusively), private to its owner (0600),
    /// synced, renamed over the target, then the folder synced so that the rename
    /// itself survives a crash. A symbolic link at @p target is replaced, not
    /// followed. The name is used as the bytes it is, whatever its encoding. On
    /// failure the target is left as it was and no temporary file remains; the
    /// detail gives the system's reason ("No space left on device").
    /// @throws FileException (temporaryNotCreated, permissionsNotRestricted,
    /// writeFailed, interrupted or replaceFailed).
    static void write(const std::filesystem::path &target, std::string_view bytes,
                      const Interruption &interruption = {});
};

} // namespace faciward::platform
