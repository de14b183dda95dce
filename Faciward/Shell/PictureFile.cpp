#include "Faciward/Shell/PictureFile.h"

#include "Platform/Vision/PictureDecoder.h"

namespace faciward::shell {

PictureFile::PictureFile(std::string path)
    : m_path(std::move(path))
{
    auto picture = platform::PictureDecoder::load(m_path);
    m_image = std::move(picture.image);
    m_error = std::move(picture.error);
}

} // namespace faciward::shell
