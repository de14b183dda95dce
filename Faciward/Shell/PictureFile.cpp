#include "Faciward/Shell/PictureFile.h"

#include <opencv2/imgcodecs.hpp>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace faciward::shell {

PictureFile::PictureFile(std::string path)
    : m_path(std::move(path))
{
    std::error_code ec;
    const auto status = std::filesystem::status(m_path, ec);
    if (!std::filesystem::exists(status)) {
        m_error = "no such file";
        return;
    }
    if (!std::filesystem::is_regular_file(status)) {
        m_error = "not a file";
        return;
    }
    std::ifstream in(m_path, std::ios::binary);
    if (!in) {
        m_error = "cannot open the file";
        return;
    }
    const std::vector<uchar> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.empty()) {
        m_error = "empty file";
        return;
    }
    try {
        m_image = cv::imdecode(bytes, cv::IMREAD_COLOR);
    } catch (const cv::Exception &) {
        m_image.release();
    }
    if (m_image.empty())
        m_error = "not a picture";
}

} // namespace faciward::shell
