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

namespace {

template<class F>
CaptureError failureOf(F &&open)
{
    try {
        open();
    } catch (const CaptureException &e) {
        return e.error();
    }
    ADD_FAILURE() << "no CaptureException thrown";
    return CaptureError::openFailed;
}

std::vector<int> readNumbers(FrameReader &reader, int count)
{
    std::vector<int> numbers;
    for (int i = 0; i < count; ++i)
        numbers.push_back(frameNumber(reader.read()));
    return numbers;
}

} // namespace

TEST(ImageFolderFrameReader, playsPicturesInFileNameOrderAndStartsOver)
{
    TempDir dir;
    faciward::testing::writeNumberedPictures(dir / "pictures", 3);
    std::ofstream(dir / "pictures" / "notes.txt") << "not a picture";
    std::filesystem::create_directory(dir / "pictures" / "frame-01b.png"); // a folder, not a file

    ImageFolderFrameReader reader(dir / "pictures");
    ASSERT_EQ(reader.pictures().size(), 3u);
    EXPECT_EQ(reader.frameInterval(), 100ms); // 10 frames a second
    EXPECT_EQ(readNumbers(reader, 7), (std::vector<int>{0, 1, 2, 0, 1, 2, 0}));
}

TEST(ImageFolderFrameReader, deliversBgrWhateverThePicturesAre)
{
    TempDir dir;
    cv::imwrite((dir / "a-grey.png").string(), cv::Mat(8, 8, CV_8UC1, cv::Scalar(90)));
    cv::imwrite((dir / "b-alpha.png").string(), cv::Mat(8, 8, CV_8UC4, cv::Scalar(1, 2, 3, 4)));
    cv::imwrite((dir / "c-deep.png").string(), cv::Mat(8, 8, CV_16UC3, cv::Scalar(256 * 200, 0, 0)));
    ImageFolderFrameReader reader(dir.path());
    for (int i = 0; i < 3; ++i) {
        const cv::Mat frame = reader.read();
        EXPECT_EQ(frame.type(), CV_8UC3) << "picture " << i;
    }
}

TEST(ImageFolderFrameReader, skipsAPictureThatCanNoLongerBeRead)
{
    TempDir dir;
    faciward::testing::writeNumberedPictures(dir.path(), 3);
    ImageFolderFrameReader reader(dir.path());
    std::ofstream(dir / "frame-01.png", std::ios::trunc) << "damaged";
    EXPECT_EQ(readNumbers(reader, 4), (std::vector<int>{0, 2, 0, 2}));
}

TEST(ImageFolderFrameReader, aFolderThatDisappearsIsLost)
{
    TempDir dir;
    faciward::testing::writeNumberedPictures(dir / "pictures", 2);
    ImageFolderFrameReader reader(dir / "pictures");
    EXPECT_EQ(frameNumber(reader.read()), 0);
    std::filesystem::remove_all(dir / "pictures");
    try {
        reader.read();
        FAIL() << "a removed folder still delivered a frame";
    } catch (const CaptureException &e) {
        EXPECT_EQ(e.error(), CaptureError::deviceLost);
        EXPECT_EQ(e.detail(), "No such file or directory");
    }
}

TEST(ImageFolderFrameReader, openingFailuresSayWhy)
{
    TempDir dir;
    std::ofstream(dir / "readme.txt") << "no pictures here";
    EXPECT_EQ(failureOf([&] { ImageFolderFrameReader reader(dir.path()); }), CaptureError::noFrames);
    EXPECT_EQ(failureOf([&] { ImageFolderFrameReader reader(dir / "missing"); }), CaptureError::deviceMissing);
    EXPECT_EQ(failureOf([&] { ImageFolderFrameReader reader(dir / "readme.txt"); }), CaptureError::openFailed);
}

TEST(VideoCaptureFrameReader, playsAVideoInOrderAtItsOwnRateAndStartsOver)
{
    TempDir dir;
    ASSERT_TRUE(faciward::testing::writeNumberedVideo(dir / "clip.avi", 5, 20.0));
    VideoCaptureFrameReader reader(dir / "clip.avi", VideoCaptureFrameReader::Mode::videoFile);
    EXPECT_EQ(reader.frameInterval(), 50ms);
    EXPECT_EQ(readNumbers(reader, 12), (std::vector<int>{0, 1, 2, 3, 4, 0, 1, 2, 3, 4, 0, 1}));
}

TEST(VideoCaptureFrameReader, openingFailuresSayWhy)
{
    TempDir dir;
    std::ofstream(dir / "text.avi") << "this is not a video";
    EXPECT_EQ(failureOf([&] { VideoCaptureFrameReader r(dir / "text.avi", VideoCaptureFrameReader::Mode::videoFile); }),
              CaptureError::unsupportedDevice);
    ASSERT_TRUE(faciward::testing::writeNumberedVideo(dir / "empty.avi", 0, 20.0));
    EXPECT_EQ(failureOf([&] { VideoCaptureFrameReader r(dir / "empty.avi", VideoCaptureFrameReader::Mode::videoFile); }),
              CaptureError::noFrames);
    EXPECT_EQ(failureOf([&] { VideoCaptureFrameReader r(dir / "gone.avi", VideoCaptureFrameReader::Mode::videoFile); }),
              CaptureError::deviceMissing);
}

TEST(VideoCaptureFrameReader, aCameraPathThatIsNoCameraIsRefused)
{
    // /dev/null opens like any node but is no V4L2 device; a missing node is missing.
    EXPECT_EQ(failureOf([] { VideoCaptureFrameReader r("/dev/null", VideoCaptureFrameReader::Mode::camera); }),
              CaptureError::unsupportedDevice);
    EXPECT_EQ(failureOf([] { VideoCaptureFrameReader r("/dev/video97", VideoCaptureFrameReader::Mode::camera); }),
              CaptureError::deviceMissing);
}

TEST(FrameReader, openChoosesTheReaderByKind)
{
    TempDir dir;
    faciward::testing::writeNumberedPictures(dir / "pictures", 2);
    ASSERT_TRUE(faciward::testing::writeNumberedVideo(dir / "clip.avi", 2, 10.0));

    auto folder = FrameReader::open(CaptureDevice::fromPath(dir / "pictures"));
    EXPECT_EQ(folder->frameInterval(), 100ms);
    EXPECT_EQ(frameNumber(folder->read()), 0);

    auto video = FrameReader::open(CaptureDevice::fromPath(dir / "clip.avi"));
    EXPECT_EQ(video->frameInterval(), 100ms);
    EXPECT_EQ(frameNumber(video->read()), 0);

    EXPECT_EQ(failureOf([] { FrameReader::open(CaptureDevice::fromPath("/dev/video97")); }),
              CaptureError::deviceMissing);
}
