#pragma once

#include "FileStore/StorageKey.h"

#include "Platform/Settings/JsonCoding.h"

#include <opencv2/core/mat.hpp>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace faciward::storage {

/// @brief A store of JSON values and PNG pictures, each addressed by a
/// StorageKey: what callers that only keep and read files need.
///
/// FileStorage is the store of the user's documents folder; see there for the
/// paths, the failures and the threads.
class Storage
{
public:
    virtual ~Storage() = default;

    /// @brief As folderPath(), with any failure turned into none.
    virtual std::optional<std::filesystem::path> optionalFolderPath(const StorageKey &key) const noexcept = 0;

    /// @brief True when a value file exists for @p key (pictures do not count).
    virtual bool exists(const StorageKey &key) const noexcept = 0;

    /// @brief Writes @p value as the value file of @p key, replacing an older one.
    virtual void save(const platform::Json::Value &value, const StorageKey &key) const = 0;
    /// @brief Writes @p value, coded as JSON, as the value file of @p key.
    template<class T>
    void save(const T &value, const StorageKey &key) const
    {
        platform::Json::Value json;
        encode([&] { json = platform::JsonCoding<T>::encode(value); });
        save(json, key);
    }

    /// @brief Writes @p image as the picture of @p key, replacing an older one,
    /// and returns the file's path.
    virtual std::filesystem::path saveImage(const cv::Mat &image, const StorageKey &key) const = 0;

    /// @brief As saveImage(), but into a fresh temporary folder (see temporaryURL()).
    virtual std::filesystem::path saveToTemporaryFile(const cv::Mat &image, const StorageKey &key) const = 0;

    /// @brief The picture of @p key, as an 8-bit BGR image.
    virtual cv::Mat loadImage(const StorageKey &key) const = 0;

    /// @brief Removes the picture of @p key; false when there was none to remove.
    virtual bool removeImage(const StorageKey &key) const = 0;

    /// @brief The JSON value in the value file of @p key.
    virtual platform::Json::Value load(const StorageKey &key) const = 0;
    /// @brief The value file of @p key, decoded as @p T.
    template<class T>
    T load(const StorageKey &key) const
    {
        const platform::Json::Value json = load(key);
        std::optional<T> value;
        decode([&] { value.emplace(platform::JsonCoding<T>::decode(json)); });
        return std::move(*value);
    }

    /// @brief Removes the file of the folder that @p urlKey's key names as a
    /// relative URL text; false when nothing was removed. Never throws.
    virtual bool remove(const StorageKey &urlKey) const noexcept = 0;

    /// @brief The folder of @p key, created when missing; ends in a separator.
    virtual std::filesystem::path folderPath(const StorageKey &key) const = 0;

    /// @brief `<temporary folder>/<fresh folder>/<key>.<extension>`: a new, empty
    /// folder on each call. The file itself is not created.
    virtual std::filesystem::path temporaryURL(const StorageKey &key, const std::string &extension) const = 0;

protected:
    /// @brief Runs @p run, an encoding (of a value as JSON, of JSON as text); a
    /// coder's failure is rethrown as FileStorageError(couldNotEncodeValue), with
    /// the coder's nested.
    static void encode(const std::function<void()> &run);
    /// @brief Runs @p run, a decoding; a coder's failure is rethrown as
    /// FileStorageError(couldNotDecodeValue), with the coder's nested.
    static void decode(const std::function<void()> &run);
};

} // namespace faciward::storage
