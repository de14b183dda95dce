#pragma once

#include "FileStore/Storage.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace faciward::storage {

/// @brief JSON values and PNG pictures in a sub-folder of the user's documents folder.
///
/// Stateless: every call works from the key and the file system, and any
/// thread may call. Paths are `<documents>/<folder or "standard">/<key>` for
/// values and the same plus ".png" for pictures. Writes go to a temporary file
/// that is renamed into place, so a reader sees the old file or the new one,
/// never a part; files are made readable by their owner only (0600), and a
/// folder the store creates is private to its owner (0700). A symbolic link at
/// a file's name is replaced, never written through, and nothing is written
/// into a folder that belongs to another user or that others may write.
///
/// Keys and folders are plain names: one containing "/" or "..", or an empty
/// one, is refused with `Error::invalidKey` before the file system is touched.
/// File-system failures are thrown as std::filesystem::filesystem_error, which
/// names the path and the system's reason; every other failure, the JSON coder's
/// and OpenCV's included, as FileStorageError.
class FileStorage final : public Storage
{
public:
    /// @brief The store's own failures, thrown as FileStorageError. The order of
    /// the cases is fixed.
    enum class Error {
        platformNotSupported,               ///< no documents folder can be found (no home)
        couldNotCreatePngData,              ///< the picture cannot be encoded as PNG
        couldNotLoadImage,                  ///< kept for callers; not thrown by the store
        couldNotGetImageTiffRepresentation, ///< the picture holds no pixels
        couldNotLoadImageFromURL,           ///< no picture can be read from the file
        invalidKey,                         ///< a key or folder that is not a plain file name
        couldNotEncodeValue,                ///< a value has no JSON form (the coder's failure is nested)
        couldNotDecodeValue,                ///< a value file does not decode as the type asked for (nested)
    };

    /// @brief The folder used when a key names none.
    static constexpr std::string_view defaultFolder = "standard";

    FileStorage() = default;

    /// @brief The user's documents folder: $XDG_DOCUMENTS_DIR when set, else the
    /// documents entry of the user's user-dirs.dirs, else ~/Documents.
    /// @throws FileStorageError(platformNotSupported) when there is no home folder.
    static std::filesystem::path documentsDirectory();

    /// @brief `file://` URL text of @p path, percent-encoded ("%20" for a blank).
    static std::string fileURL(const std::filesystem::path &path);

    using Storage::load;
    using Storage::save;

    // The operations of Storage, in its order.

    /// @brief As folderPath(), with any failure turned into none.
    std::optional<std::filesystem::path> optionalFolderPath(const StorageKey &key) const noexcept override;

    /// @brief True when a value file exists for @p key (pictures, which carry
    /// ".png", do not count). Never throws.
    bool exists(const StorageKey &key) const noexcept override;

    /// @brief Writes @p value as compact JSON text (the project's coder) to the
    /// value file of @p key.
    /// @throws FileStorageError(couldNotEncodeValue) when the value has no JSON text
    /// (a number that is not finite, say).
    void save(const platform::Json::Value &value, const StorageKey &key) const override;

    /// @brief Writes @p image (8- or 16-bit, 1, 3 or 4 channels, BGR order) as the
    /// picture of @p key, replacing an older one, and returns the file's path.
    /// @throws FileStorageError(couldNotGetImageTiffRepresentation) for an empty
    /// image, FileStorageError(couldNotCreatePngData) when it cannot be encoded.
    std::filesystem::path saveImage(const cv::Mat &image, const StorageKey &key) const override;

    /// @brief As saveImage(), but into a fresh temporary folder (see temporaryURL()).
    std::filesystem::path saveToTemporaryFile(const cv::Mat &image, const StorageKey &key) const override;

    /// @brief Reads the picture of @p key as an 8-bit BGR image.
    /// @throws FileStorageError(couldNotLoadImageFromURL) when it is missing or unreadable.
    cv::Mat loadImage(const StorageKey &key) const override;

    /// @brief Removes the picture of @p key; false when there was none to remove.
    /// Throws only when the key or its folder is unusable.
    bool removeImage(const StorageKey &key) const override;

    /// @brief Reads the value file of @p key as JSON.
    /// @throws FileStorageError(couldNotDecodeValue) when the file is not JSON.
    platform::Json::Value load(const StorageKey &key) const override;

    /// @brief Removes the file of the folder that @p urlKey's key names as a
    /// relative URL text ("my%20notes" names "my notes"). False when the text is
    /// not a URL, names anything but a plain file of the folder, or nothing was
    /// removed. Never throws.
    bool remove(const StorageKey &urlKey) const noexcept override;

    /// @brief The folder of @p key, created (with the documents folder) when missing.
    /// The result ends in a separator.
    std::filesystem::path folderPath(const StorageKey &key) const override;

    /// @brief `<temporary folder>/<fresh folder>/<key>.<extension>`: a new, empty,
    /// private folder on each call. The file itself is not created.
    std::filesystem::path temporaryURL(const StorageKey &key, const std::string &extension) const override;
};

} // namespace faciward::storage
