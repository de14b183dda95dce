#pragma once

#include <filesystem>
#include <string>

#include <sys/types.h>

namespace faciward::platform {

/// @brief Whether anyone but this user could change what a folder holds: put a
/// link, replace a file, read what was meant to be private.
///
/// Root's folders count as safe (root can change anything anyway), and so do
/// sticky folders such as /tmp, where no one can replace another's file.
class FolderOwnership
{
public:
    enum class Kind {
        safe,           ///< this user's or root's, and no one else may write it
        otherOwner,     ///< it belongs to another user
        othersMayWrite, ///< its group or everyone may write it, and it is not sticky
        unknown,        ///< it cannot be examined (missing, no permission)
    };

    struct Finding
    {
        Kind kind = Kind::unknown;
        uid_t owner = 0;
        mode_t mode = 0;
    };

    FolderOwnership() = delete;

    /// @brief What the folder at @p folder is (links followed).
    static Finding of(const std::filesystem::path &folder);

    /// @brief A mode as four octal digits: "0755".
    static std::string modeText(mode_t mode);
};

} // namespace faciward::platform
