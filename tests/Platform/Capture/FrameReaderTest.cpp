#include "Platform/Capture/CaptureException.h"
#include "Platform/Capture/FrameReader.h"
#include "Platform/Capture/ImageFolderFrameReader.h"
#include "Platform/Capture/VideoCaptureFrameReader.h"
#include "tests/support/CaptureSamples.h"
#include "tests/support/Guards.h"

#include <opencv2/imgcodecs.hpp>

#include <gtest/gtest.h>

#include <fstream>

using faciward::platform::CaptureDevice;
using faciward::platform::CaptureError;
using faciward::platform::CaptureException;
using faciward::platform::FrameReader;
using faciward::platform::ImageFolderFrameReader;
using faciward::platform::VideoCaptureFrameReader;
using faciward::testing::frameNumber;
using faciward::testing::TempDir;
using namespace std::chrono_literals;
using Mode = VideoCaptureFrameReader::Mode;

namespace {

template<class F>
std::optional<CaptureError> failureOf(F &&f)
{
    try {
        f();
    } catch (const CaptureException &e) {
        return e.error();
    }
    return std::nullopt;
}

std::vector<int> readNumbers(FrameReader &reader, int count)
{
    std::vector<int> numbers;
    for (int i = 0; i < count; ++i)
        numbers.push_back(frameNumber(reader.read()));
    return numbers;
}

} // namespace

TEST(FrameReader, foldersAndVideosPlayInOrderAtTheirRateAndStartOver)
{
    TempDir dir;
    faciward::testing::writeNumberedPictures(dir / "pictures", 3);
    std::ofstream(dir / "pictures" / "notes.txt") << "not a picture";
    std::filesystem::create_directory(dir / "pictures" / "frame-01b.png"); // a folder, not a file
    ASSERT_TRUE(faciward::testing::writeNumberedVideo(dir / "clip.avi", 5, 20.0));

    auto folder = FrameReader::open(CaptureDevice::fromPath(dir / "pictures")); // chosen by kind
    EXPECT_EQ(folder->frameInterval(), 100ms);                                  // 10 frames a second
    EXPECT_EQ(readNumbers(*folder, 7), (std::vector<int>{0, 1, 2, 0, 1, 2, 0}));
    auto video = FrameReader::open(CaptureDevice::fromPath(dir / "clip.avi"));
    EXPECT_EQ(video->frameInterval(), 50ms);
    EXPECT_EQ(readNumbers(*video, 12), (std::vector<int>{0, 1, 2, 3, 4, 0, 1, 2, 3, 4, 0, 1}));

    // A picture damaged after the start is skipped; a folder that disappears is lost.
    std::ofstream(dir / "pictures" / "frame-01.png", std::ios::trunc) << "damaged";
    EXPECT_EQ(readNumbers(*folder, 3), (std::vector<int>{2, 0, 2}));
    std::filesystem::remove_all(dir / "pictures");
    try {
        folder->read();
        FAIL() << "a removed folder still delivered a frame";
    } catch (const CaptureException &e) {
        EXPECT_EQ(e.error(), CaptureError::deviceLost);
        EXPECT_EQ(e.detail(), "No such file or directory");
    }
}

TEST(FrameReader, deliversBgrWhateverThePicturesAre)
{
    TempDir dir;
    cv::imwrite((dir / "a-grey.png").string(), cv::Mat(8, 8, CV_8UC1, cv::Scalar(90)));
    cv::imwrite((dir / "b-alpha.png").string(), cv::Mat(8, 8, CV_8UC4, cv::Scalar(1, 2, 3, 4)));
    cv::imwrite((dir / "c-deep.png").string(), cv::Mat(8, 8, CV_16UC3, cv::Scalar(256 * 200, 0, 0)));
    ImageFolderFrameReader reader(dir.path());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(reader.read().type(), CV_8UC3) << "picture " << i;
}

TEST(FrameReader, openingFailuresSayWhy)
{
    TempDir dir;
    std::ofstream(dir / "readme.txt") << "no pictures here";
    std::ofstream(dir / "text.avi") << "this is not a video";
    ASSERT_TRUE(faciward::testing::writeNumberedVideo(dir / "empty.avi", 0, 20.0));
    const std::pair<std::function<void()>, CaptureError> cases[] = {
        {[&] { ImageFolderFrameReader r(dir.path()); }, CaptureError::noFrames},
        {[&] { ImageFolderFrameReader r(dir / "missing"); }, CaptureError::deviceMissing},
        {[&] { ImageFolderFrameReader r(dir / "readme.txt"); }, CaptureError::openFailed},
        {[&] { VideoCaptureFrameReader r(dir / "text.avi", Mode::videoFile); }, CaptureError::unsupportedDevice},
        {[&] { VideoCaptureFrameReader r(dir / "empty.avi", Mode::videoFile); }, CaptureError::noFrames},
        {[&] { VideoCaptureFrameReader r(dir / "gone.avi", Mode::videoFile); }, CaptureError::deviceMissing},
        // /dev/null opens like any node but is no V4L2 device.
        {[] { VideoCaptureFrameReader r("/dev/null", Mode::camera); }, CaptureError::unsupportedDevice},
        {[] { FrameReader::open(CaptureDevice::fromPath("/dev/video97")); }, CaptureError::deviceMissing},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(failureOf(cases[i].first), cases[i].second) << "case " << i;
}
