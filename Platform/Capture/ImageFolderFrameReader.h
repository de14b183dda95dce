#pragma once

#include "FrameReader.h"

#include <filesystem>
#include <vector>

namespace faciward::platform {

/// @brief Plays the pictures of a folder as a camera would: in file-name order
/// (byte order of the names), 10 frames a second, starting over after the last.
///
/// The folder is listed once, when it is opened. A picture that can no longer be
/// decoded is skipped; when the folder is gone, or none of its pictures can be
/// read any more, the source is lost.
class ImageFolderFrameReader final : public FrameReader
{
public:
    /// @brief Lists @p folder; throws `CaptureException` when it cannot be read
    /// or holds no picture.
    explicit ImageFolderFrameReader(const std::filesystem::path &folder);

    cv::Mat read() override;
    std::chrono::nanoseconds frameInterval() const override;

    /// @brief The pictures that will be played, in order.
    const std::vector<std::filesystem::path> &pictures() const { return m_pictures; }

private:
    std::filesystem::path m_folder;
    std::vector<std::filesystem::path> m_pictures;
    std::size_t m_next = 0;
};

} // namespace faciward::platform
