#pragma once

#include <optional>
#include <string>

namespace faciward::storage {

/// @brief Addresses one item of the file store: a file name within a
/// sub-folder of the user's documents folder.
class StorageKey
{
public:
    virtual ~StorageKey() = default;

    /// @brief The file name within the folder; pictures leave out ".png", which
    /// the store adds. Must be a plain name: no "/", no "..".
    virtual std::string key() const = 0;
    /// @brief The sub-folder of the documents folder; none selects "standard".
    /// Must be a plain name: no "/", no "..".
    virtual std::optional<std::string> folder() const = 0;
};

} // namespace faciward::storage
