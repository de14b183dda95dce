#pragma once

#include "Faciward/Presence/Locking/DraggableImage.h"
#include "Faciward/Presence/Locking/Service.h"
#include "Faciward/Settings/ImageItem.h"
#include "FileStore/FileStorage.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace faciward::presence {

/// @brief The history of pictures taken when the screen is locked: PNG files in
/// the documents folder's "standard" folder, listed oldest first under the
/// setting "storedImages", at most six entries.
class ImageStoreService : public Service
{
public:
    using ImageItem = settings::ImageItem;
    /// @brief A loaded picture of the history, for the views.
    using DraggableImage = presence::DraggableImage;

    /// @brief The most entries the history keeps.
    static constexpr std::size_t historyLimit = 6;

    explicit ImageStoreService(std::shared_ptr<ServiceContext> serviceContext);

    /// @brief The store the pictures are written to and read from.
    const storage::Storage &storage() const { return m_storage; }

    /// @brief The picture name for a lock at @p when: local time as
    /// "yyyy-MM-dd HH.mm.ss", a valid file name that sorts by time.
    static std::string pictureKey(std::chrono::system_clock::time_point when);

    /// @brief Receives the one line that describes a failure.
    using FailureReport = std::function<void(const std::string &line)>;

    /// @brief Writes @p image as the picture named @p key and appends it to the
    /// history, dropping the oldest entries so that at most six remain (their
    /// files stay). A name already taken, by a file or by a history entry,
    /// becomes "key (2)", "key (3)" and so on.
    ///
    /// Never throws: a failure is described in one line, handed to @p report
    /// (printed on standard output when there is none), and the history is
    /// left as it was. Safe from any thread.
    /// @return The entry added, or none when no picture was written.
    std::optional<ImageItem> store(const cv::Mat &image, const std::string &key, const FailureReport &report = {});

    /// @brief The file of a picture of the history, in the documents folder as it
    /// is now (nothing is created).
    /// @throws storage::FileStorageError(platformNotSupported) when there is no home folder.
    static std::filesystem::path pictureFile(const ImageItem &item);

private:
    std::string freeName(const std::string &key) const;

    const storage::FileStorage m_storage;
    std::mutex m_mutex;
};

} // namespace faciward::presence
