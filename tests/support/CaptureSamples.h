#pragma once

#include <opencv2/core/mat.hpp>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace faciward::testing {

/// @brief Frame @p number (0 to 11) of the test sources: a flat grey picture of
/// level 20 × number + 10, which survives lossy video coding.
cv::Mat numberedFrame(int number, cv::Size size = cv::Size(64, 48));

/// @brief The number a `numberedFrame` carries, or -1 when it carries none.
int frameNumber(const cv::Mat &frame);

/// @brief Writes @p count numbered PNG pictures, "frame-00.png" onwards, into
/// @p folder (made when missing), the last one first, so that the order of
/// creation differs from the order of the names.
void writeNumberedPictures(const std::filesystem::path &folder, int count);

/// @brief Writes a Motion-JPEG video of @p count numbered frames at @p framesPerSecond.
/// Returns false when the video could not be written.
bool writeNumberedVideo(const std::filesystem::path &file, int count, double framesPerSecond);

/// @brief @p picture (8-bit BGR) as JPEG file bytes, written with OpenCV's
/// @p parameters (cv::IMWRITE_JPEG_QUALITY and its value, say).
std::string jpegOf(const cv::Mat &picture, const std::vector<int> &parameters = {});

/// @brief A valid PNG of @p width × @p height black pixels, a few MB at most
/// however large it claims to be: the pixel bomb hostile pictures are made of.
std::string pixelBombPng(unsigned width, unsigned height);

/// @brief A small JPEG whose header claims @p width × @p height pixels (each at
/// most 65535) while its data holds a 64 × 64 picture.
std::string pixelBombJpeg(unsigned width, unsigned height);

/// @brief A progressive JPEG of @p width × @p height grey pixels followed by
/// @p emptyScans scans that carry no data: each costs the decoder a pass over
/// the picture, for 14 bytes of file.
std::string scanBombJpeg(int width, int height, int emptyScans);

/// @brief One entry of a TIFF directory: tag, type (3 a short, 4 a long), count, value.
struct TiffEntry
{
    std::uint16_t tag, type;
    std::uint32_t count, value;
};

/// @brief A TIFF structure of one directory holding @p entries, at @p directory,
/// in Motorola ('M') or Intel ('I') byte order: what an EXIF block carries.
std::string tiff(char order, const std::vector<TiffEntry> &entries, std::uint32_t directory = 8);

/// @brief The body of an EXIF APP1 segment holding @p tiffBytes.
std::string exif(const std::string &tiffBytes);

/// @brief An EXIF body whose orientation tag is @p value (1 upright to 8), as a camera writes it.
std::string orientationTag(char order, int value);

/// @brief @p jpeg with an APP1 segment of @p body right after its start marker.
std::string withApp1(const std::string &jpeg, const std::string &body);

} // namespace faciward::testing
