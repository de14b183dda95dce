#pragma once

#include "Platform/Vision/Image.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace faciward::platform {

/// @brief A decoded picture, or why there is none.
struct DecodedPicture
{
    /// @brief 8-bit BGR, turned upright when the picture carries an EXIF
    /// orientation; empty when the picture could not be decoded.
    Image image;
    /// @brief Why not: "no such file", "not a file", "cannot open the file: …",
    /// "empty file", "not a picture", "damaged picture: …", "too large: …".
    std::string error;
};

/// @brief Decodes JPEG and PNG pictures without trusting them; a JPEG comes out
/// turned upright as its EXIF orientation says.
///
/// The size in the header is checked before any pixel is decoded, the work a
/// progressive JPEG may ask for is bounded by its number of scans, data that
/// ends early or that the decoder finds damaged is an error rather than half a
/// picture, and the decoders' own messages never reach standard error. Other
/// formats are "not a picture": each decoder added is one more parser of
/// hostile input.
class PictureDecoder
{
public:
    /// @brief Far above any camera or photograph; a picture of more pixels is
    /// refused before it is decoded (at 3 bytes a pixel, 150 MB).
    static constexpr std::uint64_t maxPixels = 50'000'000;
    /// @brief A progressive JPEG of more scans is refused as it is decoded. Encoders
    /// write about ten; each scan costs a pass over the whole picture.
    static constexpr int maxScans = 300;
    /// @brief A file larger than this is not read at all.
    static constexpr std::uint64_t maxFileBytes = 256ull << 20;

    static DecodedPicture decode(std::span<const unsigned char> bytes);

    /// @brief Reads and decodes @p path. Only a regular file is read, and it is
    /// opened without blocking, so a FIFO or a device is refused at once.
    static DecodedPicture load(const std::filesystem::path &path);

    /// @brief Whether @p path begins like a JPEG or PNG picture (it is not decoded).
    static bool looksLikePicture(const std::filesystem::path &path);

    /// @brief The refusal for a picture or frame of @p width × @p height, or
    /// nothing when it is within maxPixels.
    static std::optional<std::string> sizeProblem(std::uint64_t width, std::uint64_t height);
};

} // namespace faciward::platform
