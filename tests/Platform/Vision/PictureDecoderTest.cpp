// Hostile pictures at the decoder: each is refused with its reason, before a
// pixel is decoded where the header already tells.
#include "Platform/Vision/PictureDecoder.h"
#include "tests/Platform/Vision/VisionTestData.h"
#include "tests/support/CaptureSamples.h"

#include <gtest/gtest.h>

#include <fstream>
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
        {"text", "not a picture\n", "not a picture"},
        {"nothing", "", "empty file"},
    };
    for (const auto &c : cases) {
        const auto decoded = PictureDecoder::decode(
            std::span(reinterpret_cast<const unsigned char *>(c.bytes.data()), c.bytes.size()));
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
