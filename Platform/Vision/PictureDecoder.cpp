#include "Platform/Vision/PictureDecoder.h"

#include "Platform/Vision/PictureOrientation.h"
#include "Platform/Error/ErrnoText.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>
#include <png.h>

namespace faciward::platform {

namespace {

constexpr unsigned char pngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr unsigned char jpegSignature[] = {0xff, 0xd8, 0xff};

enum class Format { jpeg, png, unknown };

Format formatOf(std::span<const unsigned char> head)
{
    const auto startsWith = [head](std::span<const unsigned char> signature) {
        return head.size() >= signature.size() && std::memcmp(head.data(), signature.data(), signature.size()) == 0;
    };
    if (startsWith(pngSignature))
        return Format::png;
    if (startsWith(jpegSignature))
        return Format::jpeg;
    return Format::unknown;
}

// What the decoders' callbacks leave for the code that called them. Lives in
// the caller's frame, outside the function that calls setjmp, so that nothing
// in it is lost to the jump back.
struct Outcome
{
    std::jmp_buf jump;
    std::string error;
    Image image;
    // How the picture is to be turned upright (EXIF), as PictureOrientation counts.
    int orientation = PictureOrientation::upright;
    // Scratch space the decoders fill after setjmp.
    std::vector<unsigned char> inks;
    std::vector<unsigned char *> rows;
};

// --- JPEG --------------------------------------------------------------------

struct JpegErrors
{
    jpeg_error_mgr manager;
    Outcome *outcome;
};

std::string jpegMessage(j_common_ptr info)
{
    char text[JMSG_LENGTH_MAX] = {};
    (*info->err->format_message)(info, text);
    return text;
}

[[noreturn]] void jpegFailed(j_common_ptr info)
{
    Outcome &outcome = *reinterpret_cast<JpegErrors *>(info->err)->outcome;
    outcome.error = "damaged picture: " + jpegMessage(info);
    std::longjmp(outcome.jump, 1);
}

// Level -1 is a warning about the data itself (premature end, corrupt
// segments): the picture is then not the one that was taken. Higher levels are
// traces.
void jpegMessageEmitted(j_common_ptr info, int level)
{
    if (level >= 0)
        return;
    Outcome &outcome = *reinterpret_cast<JpegErrors *>(info->err)->outcome;
    if (outcome.error.empty())
        outcome.error = "damaged picture: " + jpegMessage(info);
}

void jpegSilent(j_common_ptr) {}

// Each scan of a progressive JPEG is a pass over the whole picture, however
// few bytes it takes: a small file of many empty scans would cost minutes.
void jpegProgressed(j_common_ptr info)
{
    const auto &decompress = *reinterpret_cast<j_decompress_ptr>(info);
    if (decompress.input_scan_number <= PictureDecoder::maxScans)
        return;
    Outcome &outcome = *static_cast<Outcome *>(info->client_data);
    outcome.error = "too large: more than " + std::to_string(PictureDecoder::maxScans) + " scans";
    std::longjmp(outcome.jump, 1);
}

// The orientation of the first EXIF block among the APP1 segments kept.
int jpegOrientation(const jpeg_decompress_struct &info)
{
    for (jpeg_saved_marker_ptr marker = info.marker_list; marker; marker = marker->next) {
        if (marker->marker != JPEG_APP0 + 1)
            continue;
        const int orientation = PictureOrientation::fromExifSegment(std::span(marker->data, marker->data_length));
        if (orientation != PictureOrientation::upright)
            return orientation;
    }
    return PictureOrientation::upright;
}

// Adobe's CMYK JPEGs store the inks inverted.
void cmykToBgr(const unsigned char *cmyk, unsigned char *bgr, int width)
{
    for (int x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        const int k = cmyk[3];
        bgr[0] = static_cast<unsigned char>(cmyk[2] * k / 255);
        bgr[1] = static_cast<unsigned char>(cmyk[1] * k / 255);
        bgr[2] = static_cast<unsigned char>(cmyk[0] * k / 255);
    }
}

void decodeJpeg(std::span<const unsigned char> bytes, Outcome &outcome)
{
    jpeg_decompress_struct info{};
    JpegErrors errors{};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jpegFailed;
    errors.manager.emit_message = jpegMessageEmitted;
    errors.manager.output_message = jpegSilent;
    errors.outcome = &outcome;
    jpeg_progress_mgr progress{};
    progress.progress_monitor = jpegProgressed;
    if (setjmp(outcome.jump)) {
        jpeg_destroy_decompress(&info);
        outcome.image.release();
        return;
    }
    jpeg_create_decompress(&info);
    info.client_data = &outcome;
    info.progress = &progress;
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    // EXIF lives in APP1 segments, each at most 64 kB.
    jpeg_save_markers(&info, JPEG_APP0 + 1, 0xffff);
    jpeg_read_header(&info, TRUE);
    // The saved segments are freed with the picture's memory when decoding ends.
    outcome.orientation = jpegOrientation(info);
    if (auto problem = PictureDecoder::sizeProblem(info.image_width, info.image_height)) {
        outcome.error = *problem;
        jpeg_destroy_decompress(&info);
        return;
    }
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
    jpeg_start_decompress(&info);
    const int width = static_cast<int>(info.output_width);
    outcome.image.create(static_cast<int>(info.output_height), width, CV_8UC3);
    std::vector<unsigned char> &inks = outcome.inks;
    inks.resize(cmyk ? static_cast<std::size_t>(width) * 4 : 0);
    while (info.output_scanline < info.output_height) {
        unsigned char *row = outcome.image.ptr(static_cast<int>(info.output_scanline));
        JSAMPROW target = cmyk ? inks.data() : row;
        jpeg_read_scanlines(&info, &target, 1);
        if (cmyk)
            cmykToBgr(inks.data(), row, width);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    if (!outcome.error.empty())
        outcome.image.release();
}

// --- PNG ---------------------------------------------------------------------

struct PngSource
{
    std::span<const unsigned char> bytes;
    std::size_t offset = 0;
};

[[noreturn]] void pngFailed(png_structp png, png_const_charp message)
{
    auto &outcome = *static_cast<Outcome *>(png_get_error_ptr(png));
    outcome.error = std::string("damaged picture: ") + message;
    std::longjmp(outcome.jump, 1);
}

// Warnings are about ancillary matters (colour profiles, text chunks); the
// pixels are intact.
void pngWarned(png_structp, png_const_charp) {}

void pngRead(png_structp png, png_bytep data, png_size_t length)
{
    auto &source = *static_cast<PngSource *>(png_get_io_ptr(png));
    if (source.bytes.size() - source.offset < length)
        png_error(png, "the data ends early");
    std::memcpy(data, source.bytes.data() + source.offset, length);
    source.offset += length;
}

void decodePng(std::span<const unsigned char> bytes, Outcome &outcome)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &outcome, pngFailed, pngWarned);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        outcome.error = "cannot decode the picture: out of memory";
        return;
    }
    PngSource source{bytes, 0};
    if (setjmp(outcome.jump)) {
        png_destroy_read_struct(&png, &info, nullptr);
        outcome.image.release();
        return;
    }
    png_set_read_fn(png, &source, pngRead);
    // The size is checked below; libpng's own limit would only give a vaguer error.
    png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
    png_read_info(png, info);
    if (auto problem = PictureDecoder::sizeProblem(png_get_image_width(png, info), png_get_image_height(png, info))) {
        outcome.error = *problem;
        png_destroy_read_struct(&png, &info, nullptr);
        return;
    }
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_palette_to_rgb(png);
    png_set_expand_gray_1_2_4_to_8(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const int height = static_cast<int>(png_get_image_height(png, info));
    outcome.image.create(height, static_cast<int>(png_get_image_width(png, info)), CV_8UC3);
    if (png_get_rowbytes(png, info) != outcome.image.step[0])
        png_error(png, "unexpected pixel layout");
    auto &rows = outcome.rows;
    rows.resize(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        rows[static_cast<std::size_t>(y)] = outcome.image.ptr(y);
    png_read_image(png, rows.data());
    // Reads up to IEND: a file cut after its pixel data is still cut.
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
}

} // namespace

std::optional<std::string> PictureDecoder::sizeProblem(std::uint64_t width, std::uint64_t height)
{
    // Each side alone first: their product could overflow.
    if (width <= maxPixels && height <= maxPixels && width * height <= maxPixels)
        return std::nullopt;
    return "too large: " + std::to_string(width) + "x" + std::to_string(height) + " pixels, above the limit of " +
           std::to_string(maxPixels / 1'000'000) + " megapixels";
}

DecodedPicture PictureDecoder::decode(std::span<const unsigned char> bytes)
{
    Outcome outcome;
    switch (formatOf(bytes)) {
    case Format::jpeg:
        decodeJpeg(bytes, outcome);
        break;
    case Format::png:
        decodePng(bytes, outcome);
        break;
    case Format::unknown:
        outcome.error = bytes.empty() ? "empty file" : "not a picture";
        break;
    }
    if (!outcome.error.empty())
        return {{}, outcome.error};
    return {PictureOrientation::applied(outcome.image, outcome.orientation), {}};
}

DecodedPicture PictureDecoder::load(const std::filesystem::path &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return {{}, errno == ENOENT ? "no such file" : "cannot open the file: " + errnoText(errno)};
    struct stat info{};
    std::string problem;
    if (::fstat(fd, &info) != 0)
        problem = "cannot open the file: " + errnoText(errno);
    else if (!S_ISREG(info.st_mode))
        problem = "not a file";
    else if (static_cast<std::uint64_t>(info.st_size) > maxFileBytes)
        problem = "too large: the file has more than " + std::to_string(maxFileBytes >> 20) + " MB";
    std::vector<unsigned char> bytes;
    if (problem.empty()) {
        bytes.resize(static_cast<std::size_t>(info.st_size));
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                problem = "cannot read the file: " + errnoText(errno);
                break;
            }
            if (n == 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        // A file that shrank while it was read is cut, which decoding will tell.
        bytes.resize(done);
    }
    ::close(fd);
    if (!problem.empty())
        return {{}, problem};
    return decode(bytes);
}

bool PictureDecoder::looksLikePicture(const std::filesystem::path &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    unsigned char head[sizeof pngSignature] = {};
    struct stat info{};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    const ssize_t n = regular ? ::read(fd, head, sizeof head) : -1;
    ::close(fd);
    return n > 0 && formatOf(std::span(head, static_cast<std::size_t>(n))) != Format::unknown;
}

} // namespace faciward::platform
