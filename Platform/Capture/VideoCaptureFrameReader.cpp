#include "VideoCaptureFrameReader.h"

#include "CaptureException.h"

#include "Platform/Error/ErrnoText.h"

#include "Platform/Vision/PictureDecoder.h"

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <cerrno>
#include <cmath>
#include <optional>

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace faciward::platform {

namespace {

constexpr int requestedWidth = 640;
constexpr int requestedHeight = 480;
constexpr double fallbackFramesPerSecond = 25.0;

// OpenCV reports every open failure alike; opening the node ourselves first
// tells a missing device from a refused or busy one.
void checkOpenable(const std::filesystem::path &path, int flags)
{
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0)
        throw CaptureException::fromErrno(errno, path);
    ::close(fd);
}

// OpenCV reports a camera that another program is streaming from like any
// other refusal. Setting the node's current format again fails with EBUSY
// exactly then, which lets the failure say what it is.
void throwIfBusy(const std::filesystem::path &path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw CaptureException::fromErrno(errno, path);
    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    int error = 0;
    if (::ioctl(fd, VIDIOC_G_FMT, &format) == 0 && ::ioctl(fd, VIDIOC_S_FMT, &format) != 0)
        error = errno;
    ::close(fd);
    if (error == EBUSY)
        throw CaptureException::fromErrno(EBUSY, path);
}

cv::Mat toBgr(const cv::Mat &frame)
{
    cv::Mat bgr;
    switch (frame.channels()) {
    case 1:
        cv::cvtColor(frame, bgr, cv::COLOR_GRAY2BGR);
        break;
    case 4:
        cv::cvtColor(frame, bgr, cv::COLOR_BGRA2BGR);
        break;
    default:
        bgr = frame;
        break;
    }
    if (bgr.depth() != CV_8U) {
        cv::Mat eight;
        bgr.convertTo(eight, CV_8U, bgr.depth() == CV_16U ? 1.0 / 256.0 : 1.0);
        bgr = eight;
    }
    return bgr;
}

} // namespace

class VideoCaptureFrameReader::Private
{
public:
    std::filesystem::path path;
    Mode mode;
    cv::VideoCapture capture;
    std::chrono::nanoseconds interval{0};
    std::optional<cv::Mat> first;

    int api() const { return mode == Mode::camera ? cv::CAP_V4L2 : cv::CAP_FFMPEG; }

    bool openCapture()
    {
        try {
            if (!capture.open(path.string(), api()))
                return false;
            if (mode == Mode::camera) {
                capture.set(cv::CAP_PROP_FRAME_WIDTH, requestedWidth);
                capture.set(cv::CAP_PROP_FRAME_HEIGHT, requestedHeight);
            }
            return capture.isOpened();
        } catch (const cv::Exception &) {
            return false;
        }
    }

    std::optional<cv::Mat> grab()
    {
        try {
            cv::Mat frame;
            if (capture.read(frame) && !frame.empty())
                return toBgr(frame);
        } catch (const cv::Exception &) {
        }
        return std::nullopt;
    }

    [[noreturn]] void lost()
    {
        // A vanished node (unplugged camera, removed file) says so; otherwise the
        // driver stopped answering.
        const bool gone = ::access(path.c_str(), F_OK) != 0;
        throw CaptureException(CaptureError::deviceLost, path,
                               errnoText(gone ? (mode == Mode::camera ? ENODEV : ENOENT) : EIO));
    }
};

VideoCaptureFrameReader::VideoCaptureFrameReader(const std::filesystem::path &path, Mode mode)
    : d(std::make_unique<Private>())
{
    d->path = path;
    d->mode = mode;
    // Never blocking: what replaced a checked file could be a FIFO.
    checkOpenable(path, (mode == Mode::camera ? O_RDWR : O_RDONLY) | O_NONBLOCK);
    if (!d->openCapture()) {
        if (mode == Mode::camera)
            throwIfBusy(path);
        throw CaptureException(CaptureError::unsupportedDevice, path,
                               mode == Mode::camera ? "not a video capture device" : "not a video that can be decoded");
    }
    // A frame is decoded whole: refuse frames no camera makes before the first one.
    if (auto problem = PictureDecoder::sizeProblem(
            static_cast<std::uint64_t>(std::max(0.0, d->capture.get(cv::CAP_PROP_FRAME_WIDTH))),
            static_cast<std::uint64_t>(std::max(0.0, d->capture.get(cv::CAP_PROP_FRAME_HEIGHT))));
        problem) {
        d->capture.release();
        throw CaptureException(CaptureError::unsupportedDevice, path, *problem);
    }
    if (mode == Mode::videoFile) {
        double fps = d->capture.get(cv::CAP_PROP_FPS);
        if (!std::isfinite(fps) || fps <= 0.0 || fps > 1000.0)
            fps = fallbackFramesPerSecond;
        d->interval = std::chrono::nanoseconds(static_cast<long long>(std::llround(1e9 / fps)));
    }
    d->first = d->grab();
    if (!d->first) {
        if (mode == Mode::camera) {
            d->capture.release();
            throwIfBusy(path);
        }
        throw CaptureException(CaptureError::noFrames, path, "no frame could be read");
    }
}

VideoCaptureFrameReader::~VideoCaptureFrameReader() = default;

cv::Mat VideoCaptureFrameReader::read()
{
    if (d->first) {
        cv::Mat frame = std::move(*d->first);
        d->first.reset();
        return frame;
    }
    if (auto frame = d->grab())
        return *frame;
    if (d->mode == Mode::camera)
        d->lost();
    // The end of a video: play it again from the start. Reopening is the one
    // way back to frame 0 that every container supports.
    d->capture.release();
    if (!d->openCapture())
        d->lost();
    if (auto frame = d->grab())
        return *frame;
    d->lost();
}

std::chrono::nanoseconds VideoCaptureFrameReader::frameInterval() const
{
    return d->interval;
}

} // namespace faciward::platform
