#include "CaptureSamples.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>

#include <zlib.h>

#include <cmath>
#include <cstdio>

namespace faciward::testing {

cv::Mat numberedFrame(int number, cv::Size size)
{
    const double level = 20.0 * number + 10.0;
    return cv::Mat(size, CV_8UC3, cv::Scalar(level, level, level));
}

int frameNumber(const cv::Mat &frame)
{
    if (frame.empty() || frame.type() != CV_8UC3)
        return -1;
    const cv::Scalar mean = cv::mean(frame);
    const double n = (mean[0] - 10.0) / 20.0;
    const long rounded = std::lround(n);
    if (std::abs(n - static_cast<double>(rounded)) > 0.25 || rounded < 0 || rounded > 11)
        return -1;
    return static_cast<int>(rounded);
}

void writeNumberedPictures(const std::filesystem::path &folder, int count)
{
    std::filesystem::create_directories(folder);
    for (int i = count - 1; i >= 0; --i) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%02d.png", i);
        cv::imwrite((folder / name).string(), numberedFrame(i));
    }
}

bool writeNumberedVideo(const std::filesystem::path &file, int count, double framesPerSecond)
{
    cv::VideoWriter writer(file.string(), cv::CAP_FFMPEG, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'),
                           framesPerSecond, cv::Size(64, 48));
    if (!writer.isOpened())
        return false;
    for (int i = 0; i < count; ++i)
        writer.write(numberedFrame(i));
    writer.release();
    return true;
}

std::string pixelBombPng(unsigned width, unsigned height)
{
    const auto bigEndian = [](std::string &out, std::uint32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out += static_cast<char>((value >> shift) & 0xff);
    };
    const auto chunk = [&](std::string &out, const char *type, const std::string &data) {
        bigEndian(out, static_cast<std::uint32_t>(data.size()));
        const std::string body = type + data;
        out += body;
        bigEndian(out, static_cast<std::uint32_t>(
                           ::crc32(0, reinterpret_cast<const Bytef *>(body.data()), static_cast<uInt>(body.size()))));
    };
    std::string header;
    bigEndian(header, width);
    bigEndian(header, height);
    header += std::string("\x08\x02\x00\x00\x00", 5); // 8-bit RGB, no interlace

    // Each row: filter byte 0, then black pixels; all zeros, which deflate shrinks a thousandfold.
    const std::string row(1 + std::size_t(width) * 3, '\0');
    z_stream stream{};
    deflateInit(&stream, Z_BEST_COMPRESSION);
    std::string compressed;
    char buffer[1 << 16];
    for (unsigned y = 0; y <= height; ++y) {
        const bool last = y == height;
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(row.data()));
        stream.avail_in = last ? 0 : static_cast<uInt>(row.size());
        do {
            stream.next_out = reinterpret_cast<Bytef *>(buffer);
            stream.avail_out = sizeof buffer;
            deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
            compressed.append(buffer, sizeof buffer - stream.avail_out);
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);

    std::string png("\x89PNG\r\n\x1a\n", 8);
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", compressed);
    chunk(png, "IEND", "");
    return png;
}

} // namespace faciward::testing
