#include "CaptureSamples.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>

#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <vector>

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

std::string jpegOf(const cv::Mat &picture, const std::vector<int> &parameters)
{
    std::vector<uchar> bytes;
    cv::imencode(".jpg", picture, bytes, parameters);
    return {bytes.begin(), bytes.end()};
}

namespace {

// Where the segment of @p marker (0xC0 for a baseline frame header) begins.
std::size_t segmentAt(const std::string &jpeg, unsigned char marker)
{
    for (std::size_t at = 2; at + 4 <= jpeg.size();) {
        if (static_cast<unsigned char>(jpeg[at]) != 0xff)
            break;
        if (static_cast<unsigned char>(jpeg[at + 1]) == marker)
            return at;
        at += 2 + (static_cast<unsigned char>(jpeg[at + 2]) << 8 | static_cast<unsigned char>(jpeg[at + 3]));
    }
    throw std::runtime_error("the encoder wrote no such segment");
}

} // namespace

std::string pixelBombJpeg(unsigned width, unsigned height)
{
    std::string jpeg = jpegOf(cv::Mat(64, 64, CV_8UC3, cv::Scalar(80, 90, 100)));
    // Frame header: marker, length, precision, then height and width, big-endian.
    const std::size_t frame = segmentAt(jpeg, 0xc0) + 5;
    jpeg[frame] = static_cast<char>(height >> 8), jpeg[frame + 1] = static_cast<char>(height & 0xff);
    jpeg[frame + 2] = static_cast<char>(width >> 8), jpeg[frame + 3] = static_cast<char>(width & 0xff);
    return jpeg;
}

std::string scanBombJpeg(int width, int height, int emptyScans)
{
    std::string jpeg = jpegOf(cv::Mat(height, width, CV_8UC3, cv::Scalar(128, 128, 128)),
                              {cv::IMWRITE_JPEG_PROGRESSIVE, 1});
    const std::size_t scan = segmentAt(jpeg, 0xda);
    const std::size_t length = 2 + (static_cast<unsigned char>(jpeg[scan + 2]) << 8 |
                                    static_cast<unsigned char>(jpeg[scan + 3]));
    const std::string header = jpeg.substr(scan, length);
    std::string scans;
    scans.reserve(header.size() * static_cast<std::size_t>(emptyScans));
    for (int i = 0; i < emptyScans; ++i)
        scans += header;
    // Before the end-of-picture marker.
    jpeg.insert(jpeg.size() - 2, scans);
    return jpeg;
}

std::string tiff(char order, const std::vector<TiffEntry> &entries, std::uint32_t directory)
{
    std::string out;
    const auto put = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            const int shift = order == 'M' ? 8 * (bytes - 1 - i) : 8 * i;
            out += static_cast<char>((value >> shift) & 0xff);
        }
    };
    out += order, out += order;
    put(42, 2);
    put(directory, 4);
    put(static_cast<std::uint32_t>(entries.size()), 2);
    for (const auto &e : entries) {
        put(e.tag, 2), put(e.type, 2), put(e.count, 4);
        // A short value sits in the first two bytes of the field.
        if (e.type == 3)
            put(e.value, 2), put(0, 2);
        else
            put(e.value, 4);
    }
    put(0, 4); // no next directory
    return out;
}

std::string withApp1(const std::string &jpeg, const std::string &body)
{
    const std::size_t length = body.size() + 2;
    return jpeg.substr(0, 2) + "\xff\xe1" + static_cast<char>(length >> 8) + static_cast<char>(length & 0xff) + body +
           jpeg.substr(2);
}

std::string exif(const std::string &tiffBytes)
{
    return std::string("Exif\0\0", 6) + tiffBytes;
}

std::string orientationTag(char order, int value)
{
    return exif(tiff(order, {{0x0100, 4, 1, 640}, {0x0112, 3, 1, static_cast<std::uint32_t>(value)}}));
}

} // namespace faciward::testing
