#include "ImageStoreService.h"

#include "Faciward/Presence/Locking/LocalCalendar.h"
#include "Faciward/Settings/Keys.h"
#include "FileStore/DefaultStorageKey.h"
#include "SettingsStore/Prefs.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

namespace faciward::presence {

ImageStoreService::ImageStoreService(std::shared_ptr<ServiceContext> serviceContext)
    : Service(std::move(serviceContext))
{
}

std::string ImageStoreService::pictureKey(std::chrono::system_clock::time_point when)
{
    return LocalCalendar::format(when, "%Y-%m-%d %H.%M.%S");
}

std::string ImageStoreService::freeName(const std::string &key) const
{
    const auto history = prefs::Prefs::get(settings::Keys::storedImages());
    const auto folder = m_storage.folderPath(storage::DefaultStorageKey(key));
    auto taken = [&](const std::string &name) {
        std::error_code ignored;
        return std::filesystem::exists(folder / (name + ".png"), ignored) ||
               std::any_of(history.begin(), history.end(), [&](const ImageItem &item) { return item.key == name; });
    };
    std::string name = key;
    for (int n = 2; taken(name); ++n)
        name = key + " (" + std::to_string(n) + ")";
    return name;
}

std::filesystem::path ImageStoreService::pictureFile(const ImageItem &item)
{
    return storage::FileStorage::documentsDirectory() / storage::FileStorage::defaultFolder / (item.key + ".png");
}

std::optional<ImageStoreService::ImageItem> ImageStoreService::store(const cv::Mat &image, const std::string &key,
                                                                     const FailureReport &report)
{
    const auto fail = [&report](const std::string &line) {
        if (report)
            report(line);
        else
            std::cout << line << std::endl;
    };
    // One store at a time, so two pictures of the same second get two names
    // and two history updates.
    std::lock_guard lock(m_mutex);
    ImageItem item;
    try {
        item.key = freeName(key);
        item.url = storage::FileStorage::fileURL(m_storage.saveImage(image, storage::DefaultStorageKey(item.key)));
    } catch (const std::exception &error) {
        fail(error.what());
        return std::nullopt;
    }
    const bool listed = prefs::Prefs::update(settings::Keys::storedImages(), [&](std::vector<ImageItem> &history) {
        // A history that grew too long elsewhere is cut back too.
        const std::size_t excess = history.size() >= historyLimit ? history.size() - historyLimit + 1 : 0;
        history.erase(history.begin(), history.begin() + static_cast<std::ptrdiff_t>(excess));
        history.push_back(item);
    });
    if (!listed)
        fail("Could not record the picture " + item.key + " in the history");
    return item;
}

} // namespace faciward::presence
