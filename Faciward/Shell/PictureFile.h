#pragma once

#include "Platform/Vision/Image.h"

#include <optional>
#include <string>

namespace faciward::shell {

/// @brief A picture file as the commands read it.
class PictureFile
{
public:
    /// @brief Reads and decodes @p path (see platform::PictureDecoder::load).
    explicit PictureFile(std::string path);

    const std::string &path() const { return m_path; }
    /// @brief The picture, 8-bit BGR; empty when it could not be read.
    const platform::Image &image() const { return m_image; }
    bool isReadable() const { return !m_image.empty(); }
    /// @brief Why it could not be read: "no such file", "not a file", "cannot open the file: …",
    /// "empty file", "not a picture", "damaged picture: …", "too large: …".
    const std::string &error() const { return m_error; }

private:
    std::string m_path;
    platform::Image m_image;
    std::string m_error;
};

} // namespace faciward::shell
