#pragma once

#include <filesystem>
#include <optional>

namespace faciward::platform {

/// @brief The user's folders as the XDG base and user directories name them.
/// Relative values of the variables are ignored, as the XDG specifications say.
class XdgFolders
{
public:
    XdgFolders() = delete;

    /// @brief $HOME when set, else the home folder of the user's account entry.
    static std::optional<std::filesystem::path> home();

    /// @brief $XDG_CONFIG_HOME, else ~/.config; none when neither is known.
    static std::optional<std::filesystem::path> configHome();

    /// @brief $XDG_DOCUMENTS_DIR, else the documents entry of user-dirs.dirs in the
    /// config folder, else ~/Documents; none when there is no home folder.
    static std::optional<std::filesystem::path> documents();
};

} // namespace faciward::platform
