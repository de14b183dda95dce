#pragma once

#include "Platform/Vision/Image.h"

#include <span>

namespace faciward::platform {

/// @brief The way a camera stored a picture relative to how it is seen, as the
/// EXIF tag "Orientation" (0x0112) says: phones store pictures as the sensor
/// reads them and tag how to turn them upright.
///
/// Values 1 to 8; 1 is upright. The transforms to show the picture upright:
/// 2 mirror left-right, 3 turn half a turn, 4 mirror top-bottom, 5 mirror along
/// the main diagonal (transpose), 6 turn a quarter clockwise, 7 mirror along the
/// other diagonal, 8 turn a quarter anticlockwise.
class PictureOrientation
{
public:
    PictureOrientation() = delete;

    static constexpr int upright = 1;

    /// @brief The orientation a TIFF structure (the body of an EXIF block after
    /// "Exif\0\0") gives in its first directory. Anything
    /// damaged, missing or out of range is upright: the tag only ever turns the
    /// picture, so a bad tag costs a turn, never the picture.
    static int fromTiff(std::span<const unsigned char> tiff);

    /// @brief The same for a JPEG APP1 segment's body ("Exif\0\0" then TIFF);
    /// upright for any other APP1 segment (XMP).
    static int fromExifSegment(std::span<const unsigned char> segment);

    /// @brief @p image turned upright for @p orientation; the image itself when
    /// it is upright already or @p orientation is out of range.
    static Image applied(const Image &image, int orientation);
};

} // namespace faciward::platform
