#include "ImageFolderFrameReader.h"

#include "CaptureException.h"

#include "Platform/Error/ErrnoText.h"

#include "Platform/Vision/PictureDecoder.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include <dirent.h>
#include <unistd.h>

namespace faciward::platform {

namespace {

constexpr std::chrono::nanoseconds folderFrameInterval = std::chrono::milliseconds(100);

} // namespace

ImageFolderFrameReader::ImageFolderFrameReader(const std::filesystem::path &folder)
    : m_folder(folder)
{
    // opendir gives the errno that tells missing from refused.
    DIR *dir = ::opendir(folder.c_str());
    if (!dir)
        throw CaptureException::fromErrno(errno, folder);
    ::closedir(dir);

    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError))
            continue;
        // Decides by the file's signature, not its name.
        if (PictureDecoder::looksLikePicture(it->path()))
            m_pictures.push_back(it->path());
    }
    if (ec)
        throw CaptureException::fromErrno(ec.value(), folder);
    std::sort(m_pictures.begin(), m_pictures.end(),
              [](const auto &a, const auto &b) { return a.filename().string() < b.filename().string(); });
    if (m_pictures.empty())
        throw CaptureException(CaptureError::noFrames, folder, "no picture in the folder");
}

cv::Mat ImageFolderFrameReader::read()
{
    std::string lastProblem;
    for (std::size_t tried = 0; tried < m_pictures.size(); ++tried) {
        const auto &picture = m_pictures[m_next];
        m_next = (m_next + 1) % m_pictures.size();
        // A picture that vanished, is damaged or too large is skipped.
        auto decoded = PictureDecoder::load(picture);
        if (!decoded.image.empty())
            return decoded.image;
        lastProblem = picture.filename().string() + ": " + decoded.error;
        if (::access(m_folder.c_str(), F_OK) != 0)
            break;
    }
    const bool gone = ::access(m_folder.c_str(), F_OK) != 0;
    throw CaptureException(CaptureError::deviceLost, m_folder,
                           gone ? errnoText(ENOENT)
                                : "no picture can be read any more (" + lastProblem + ")");
}

std::chrono::nanoseconds ImageFolderFrameReader::frameInterval() const
{
    return folderFrameInterval;
}

} // namespace faciward::platform
