#include "Platform/Capture/CaptureDevice.h"
#include "Platform/Capture/CaptureException.h"
#include "tests/support/Guards.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

using faciward::platform::CaptureAuthorization;
using faciward::platform::CaptureDevice;
using faciward::platform::CaptureError;
using faciward::platform::CaptureException;
using faciward::testing::TempDir;

namespace {

void touch(const std::filesystem::path &path)
{
    std::ofstream(path) << "x";
}

} // namespace

TEST(CaptureDevice, discoverListsNothingInAFolderWithoutVideoNodes)
{
    TempDir dev;
    EXPECT_TRUE(CaptureDevice::discover(dev.path()).empty());
    EXPECT_TRUE(CaptureDevice::discover(dev / "missing").empty());
}

TEST(CaptureDevice, discoverLeavesOutNodesThatAreNotVideoCaptureDevices)
{
    // Named like video nodes, but a regular file and character devices that
    // refuse VIDIOC_QUERYCAP: none of them can capture.
    TempDir dev;
    touch(dev / "video0");
    std::filesystem::create_symlink("/dev/null", dev / "video1");
    std::filesystem::create_symlink("/dev/zero", dev / "video12");
    touch(dev / "videoX");
    touch(dev / "notvideo3");
    EXPECT_TRUE(CaptureDevice::discover(dev.path()).empty());
}

TEST(CaptureDevice, discoverOnTheSystemListsOnlyNamedCamerasUnderDev)
{
    for (const auto &device : CaptureDevice::discover()) {
        EXPECT_EQ(device.kind, CaptureDevice::Kind::camera);
        EXPECT_EQ(device.path.parent_path(), "/dev");
        EXPECT_FALSE(device.name.empty());
    }
}

TEST(CaptureDevice, fromPathTellsCamerasVideosAndFoldersApart)
{
    TempDir dir;
    touch(dir / "clip.avi");
    std::filesystem::create_directory(dir / "pictures");

    const auto video = CaptureDevice::fromPath(dir / "clip.avi");
    EXPECT_EQ(video.kind, CaptureDevice::Kind::videoFile);
    EXPECT_EQ(video.name, "clip.avi");

    const auto folder = CaptureDevice::fromPath(dir / "pictures");
    EXPECT_EQ(folder.kind, CaptureDevice::Kind::imageFolder);
    EXPECT_EQ(folder.name, "pictures");
    EXPECT_EQ(CaptureDevice::fromPath((dir / "pictures").string() + "/").name, "pictures");

    const auto node = CaptureDevice::fromPath("/dev/null");
    EXPECT_EQ(node.kind, CaptureDevice::Kind::camera);
    EXPECT_EQ(node.name, "null");

    // Missing paths: a camera under /dev, a video elsewhere; opening reports them missing.
    EXPECT_EQ(CaptureDevice::fromPath("/dev/video97").kind, CaptureDevice::Kind::camera);
    EXPECT_EQ(CaptureDevice::fromPath(dir / "gone.mp4").kind, CaptureDevice::Kind::videoFile);
}

TEST(CaptureDevice, devicesAreEqualByKindAndPathNotByName)
{
    const CaptureDevice a{CaptureDevice::Kind::camera, "/dev/video0", "Integrated Camera"};
    const CaptureDevice renamed{CaptureDevice::Kind::camera, "/dev/video0", "video0"};
    const CaptureDevice other{CaptureDevice::Kind::camera, "/dev/video2", "Integrated Camera"};
    const CaptureDevice file{CaptureDevice::Kind::videoFile, "/dev/video0", "video0"};
    EXPECT_EQ(a, renamed);
    EXPECT_NE(a, other);
    EXPECT_NE(a, file);
}

TEST(CaptureDevice, authorizationOfReadableAndMissingDevices)
{
    TempDir dir;
    touch(dir / "clip.avi");
    EXPECT_EQ(CaptureDevice::fromPath(dir / "clip.avi").authorization(), CaptureAuthorization::authorized);
    EXPECT_EQ(CaptureDevice::fromPath(dir.path()).authorization(), CaptureAuthorization::authorized);
    // Missing is not refused: that it is missing is reported when it is opened.
    EXPECT_EQ(CaptureDevice::fromPath("/dev/video97").authorization(), CaptureAuthorization::authorized);
}

TEST(CaptureDevice, authorizationIsDeniedWhenThePermissionsRefuse)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root: file permissions do not refuse anything";
    TempDir dir;
    touch(dir / "clip.avi");
    ::chmod((dir / "clip.avi").c_str(), 0);
    EXPECT_EQ(CaptureDevice::fromPath(dir / "clip.avi").authorization(), CaptureAuthorization::denied);
}

TEST(CaptureException, errnoMapsToTheCaseLinuxCanTell)
{
    EXPECT_EQ(CaptureException::fromErrno(ENOENT, "/dev/video0").error(), CaptureError::deviceMissing);
    EXPECT_EQ(CaptureException::fromErrno(ENODEV, "/dev/video0").error(), CaptureError::deviceMissing);
    EXPECT_EQ(CaptureException::fromErrno(ENXIO, "/dev/video0").error(), CaptureError::deviceMissing);
    EXPECT_EQ(CaptureException::fromErrno(EACCES, "/dev/video0").error(), CaptureError::permissionDenied);
    EXPECT_EQ(CaptureException::fromErrno(EPERM, "/dev/video0").error(), CaptureError::permissionRestricted);
    EXPECT_EQ(CaptureException::fromErrno(EBUSY, "/dev/video0").error(), CaptureError::openFailed);
    EXPECT_EQ(CaptureException::fromErrno(EIO, "/dev/video0").error(), CaptureError::openFailed);

    const auto busy = CaptureException::fromErrno(EBUSY, "/dev/video0");
    EXPECT_EQ(busy.detail(), "Device or resource busy");
    EXPECT_EQ(busy.path(), "/dev/video0");
    EXPECT_STREQ(busy.what(), "/dev/video0: Device or resource busy");
    EXPECT_STREQ(CaptureException(CaptureError::deviceMissing, {}, "no camera found").what(), "no camera found");
}
