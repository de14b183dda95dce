#include "Platform/Vision/PictureOrientation.h"

#include <opencv2/core.hpp>

#include <cstdint>
#include <cstring>

namespace faciward::platform {

namespace {

constexpr std::uint16_t orientationTag = 0x0112;
constexpr std::uint16_t shortType = 3;
constexpr std::size_t entryBytes = 12;

// Reads the TIFF structure's numbers in its own byte order, refusing any read
// past its end.
class TiffReader
{
public:
    explicit TiffReader(std::span<const unsigned char> bytes)
        : m_bytes(bytes)
    {
    }

    bool readOrder()
    {
        if (m_bytes.size() < 8)
            return false;
        if (m_bytes[0] == 'I' && m_bytes[1] == 'I')
            m_bigEndian = false;
        else if (m_bytes[0] == 'M' && m_bytes[1] == 'M')
            m_bigEndian = true;
        else
            return false;
        return u16(2) == 42;
    }

    bool fits(std::uint64_t offset, std::uint64_t length) const
    {
        return offset <= m_bytes.size() && length <= m_bytes.size() - offset;
    }

    // Callers check fits() first.
    std::uint16_t u16(std::size_t at) const
    {
        const unsigned a = m_bytes[at], b = m_bytes[at + 1];
        return static_cast<std::uint16_t>(m_bigEndian ? (a << 8) | b : (b << 8) | a);
    }

    std::uint32_t u32(std::size_t at) const
    {
        const std::uint32_t high = u16(m_bigEndian ? at : at + 2), low = u16(m_bigEndian ? at + 2 : at);
        return (high << 16) | low;
    }

private:
    std::span<const unsigned char> m_bytes;
    bool m_bigEndian = false;
};

} // namespace

int PictureOrientation::fromTiff(std::span<const unsigned char> tiff)
{
    TiffReader reader(tiff);
    if (!reader.readOrder())
        return upright;
    const std::uint32_t directory = reader.u32(4);
    if (!reader.fits(directory, 2))
        return upright;
    const std::uint16_t count = reader.u16(directory);
    if (!reader.fits(directory + 2, std::uint64_t(count) * entryBytes))
        return upright;
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::size_t entry = directory + 2 + std::size_t(i) * entryBytes;
        if (reader.u16(entry) != orientationTag)
            continue;
        if (reader.u16(entry + 2) != shortType || reader.u32(entry + 4) != 1)
            return upright;
        const int value = reader.u16(entry + 8);
        return value >= 1 && value <= 8 ? value : upright;
    }
    return upright;
}

int PictureOrientation::fromExifSegment(std::span<const unsigned char> segment)
{
    static constexpr unsigned char exifHeader[] = {'E', 'x', 'i', 'f', 0, 0};
    if (segment.size() < sizeof exifHeader || std::memcmp(segment.data(), exifHeader, sizeof exifHeader) != 0)
        return upright;
    return fromTiff(segment.subspan(sizeof exifHeader));
}

Image PictureOrientation::applied(const Image &image, int orientation)
{
    Image out;
    switch (orientation) {
    case 2:
        cv::flip(image, out, 1);
        return out;
    case 3:
        cv::rotate(image, out, cv::ROTATE_180);
        return out;
    case 4:
        cv::flip(image, out, 0);
        return out;
    case 5:
        cv::transpose(image, out);
        return out;
    case 6:
        cv::rotate(image, out, cv::ROTATE_90_CLOCKWISE);
        return out;
    case 7:
        cv::transpose(image, out);
        cv::flip(out, out, -1);
        return out;
    case 8:
        cv::rotate(image, out, cv::ROTATE_90_COUNTERCLOCKWISE);
        return out;
    default:
        return image;
    }
}

} // namespace faciward::platform
