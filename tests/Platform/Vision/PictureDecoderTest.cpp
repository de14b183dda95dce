// Hostile pictures at the decoder: each is refused with its reason, before a
// pixel is decoded where the header already tells. Pictures stored turned, as
// phones store them, come out upright.
#include "Platform/Vision/PictureDecoder.h"
#include "tests/Platform/Vision/VisionTestData.h"
#include "tests/support/CaptureSamples.h"

#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include <fstream>
#include <functional>
#include <iterator>

namespace ft = faciward::testing;
using faciward::platform::PictureDecoder;

namespace {

std::string fileBytes(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string pngOf(const std::string &relative)
{
    std::vector<uchar> out;
    cv::imencode(".png", ft::developmentPicture(relative), out);
    return {out.begin(), out.end()};
}

std::string firstHalf(const std::string &bytes)
{
    return bytes.substr(0, bytes.size() / 2);
}

faciward::platform::DecodedPicture decode(const std::string &bytes)
{
    return PictureDecoder::decode(std::span(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size()));
}

std::string jpegOf(const cv::Mat &picture)
{
    return ft::jpegOf(picture, {cv::IMWRITE_JPEG_QUALITY, 95});
}

using ft::exif;
using ft::orientationTag;
using ft::tiff;
using ft::withApp1;

} // namespace

TEST(PictureDecoder, hostilePicturesAreRefusedWithTheirReason)
{
    const std::string face = "johns/John_Simm/000288_00470387.jpg";
    const std::string jpeg = fileBytes(ft::developmentData() / face);
    const std::string png = pngOf(face);
    const cv::Mat reference = ft::developmentPicture(face);
    std::string damagedJpeg = jpeg;
    damagedJpeg.replace(jpeg.size() / 2, 64, 64, '\xff'); // markers in the middle of the coded data
    std::string corruptPng = png;
    corruptPng[png.size() / 2] ^= 0x55; // the IDAT checksum no longer matches
    const struct
    {
        const char *name;
        std::string bytes;
        const char *error; // the start of the reason; empty for a picture that decodes
    } cases[] = {
        {"intact JPEG", jpeg, ""},
        {"intact PNG", png, ""},
        {"truncated JPEG", firstHalf(jpeg), "damaged picture: "},
        {"damaged JPEG", damagedJpeg, "damaged picture: "},
        {"truncated PNG", firstHalf(png), "damaged picture: "},
        {"corrupt PNG", corruptPng, "damaged picture: "},
        {"PNG without its end", png.substr(0, png.size() - 12), "damaged picture: "},
        {"pixel bomb", ft::pixelBombPng(10000, 8000), "too large: 10000x8000 pixels, above the limit of 50 megapixels"},
        {"JPEG pixel bomb", ft::pixelBombJpeg(30000, 30000),
         "too large: 30000x30000 pixels, above the limit of 50 megapixels"},
        {"scan bomb", ft::scanBombJpeg(800, 600, 2000), "too large: more than 300 scans"},
        {"scans below the limit", ft::scanBombJpeg(800, 600, 280), "damaged picture: "},
        {"text", "not a picture\n", "not a picture"},
        {"nothing", "", "empty file"},
    };
    for (const auto &c : cases) {
        const auto decoded = decode(c.bytes);
        EXPECT_TRUE(decoded.error.starts_with(c.error)) << c.name << ": " << decoded.error;
        if (*c.error) {
            EXPECT_FALSE(decoded.error.empty()) << c.name;
            EXPECT_TRUE(decoded.image.empty()) << c.name;
        } else {
            ASSERT_EQ(decoded.image.size(), reference.size()) << c.name;
            // The same pixels as OpenCV's decoder gives (JPEG decoders may round differently).
            EXPECT_LE(cv::norm(decoded.image, reference, cv::NORM_INF), 2.0) << c.name;
        }
    }
}

TEST(PictureDecoder, exifOrientationTurnsTheStoredPictureUpright)
{
    const cv::Mat upright = ft::developmentPicture("johns/John_Simm/000288_00470387.jpg");
    const auto turned = [](int rotation) {
        return [rotation](const cv::Mat &m) {
            cv::Mat out;
            cv::rotate(m, out, rotation);
            return out;
        };
    };
    const auto mirrored = [](int axis, std::function<cv::Mat(const cv::Mat &)> first = {}) {
        return [axis, first](const cv::Mat &m) {
            cv::Mat out;
            cv::flip(first ? first(m) : m, out, axis);
            return out;
        };
    };
    const auto same = [](const cv::Mat &m) { return m.clone(); };
    const struct
    {
        const char *name;
        // How the camera stored the upright picture, and what it wrote in its EXIF block.
        std::function<cv::Mat(const cv::Mat &)> stored;
        std::string app1;
    } cases[] = {
        {"1 upright", same, orientationTag('M', 1)},
        {"2 mirrored", mirrored(1), orientationTag('I', 2)},
        {"3 upside down", turned(cv::ROTATE_180), orientationTag('M', 3)},
        {"4 mirrored upside down", mirrored(0), orientationTag('I', 4)},
        {"5 transposed", mirrored(1, turned(cv::ROTATE_90_CLOCKWISE)), orientationTag('M', 5)},
        {"6 turned anticlockwise", turned(cv::ROTATE_90_COUNTERCLOCKWISE), orientationTag('M', 6)},
        {"6, Intel byte order", turned(cv::ROTATE_90_COUNTERCLOCKWISE), orientationTag('I', 6)},
        {"7 transversed", mirrored(0, turned(cv::ROTATE_90_CLOCKWISE)), orientationTag('I', 7)},
        {"8 turned clockwise", turned(cv::ROTATE_90_CLOCKWISE), orientationTag('M', 8)},
        // Damaged or foreign blocks never cost the picture: it is taken as stored.
        {"value 9", same, orientationTag('M', 9)},
        {"not a short", same, exif(tiff('M', {{0x0112, 4, 1, 6}}))},
        {"directory past the end", same, exif(tiff('M', {{0x0112, 3, 1, 6}}, 0xfffffff0))},
        {"entries past the end", same, exif(tiff('M', {{0x0112, 3, 1, 6}}).substr(0, 20))},
        {"no byte order", same, exif("XX" + tiff('M', {{0x0112, 3, 1, 6}}).substr(2))},
        {"cut header", same, exif("MM")},
        {"XMP, not EXIF", same, std::string("http://ns.adobe.com/xap/1.0/\0<x/>", 34)},
    };
    for (const auto &c : cases) {
        const auto decoded = decode(withApp1(jpegOf(c.stored(upright)), c.app1));
        ASSERT_EQ(decoded.error, "") << c.name;
        ASSERT_EQ(decoded.image.size(), upright.size()) << c.name;
        // Re-encoding moves a pixel by a few levels; a wrong turn or mirror by dozens.
        const double meanDifference = cv::norm(decoded.image, upright, cv::NORM_L1) / double(upright.total() * 3);
        EXPECT_LT(meanDifference, 3.0) << c.name;
    }
}
