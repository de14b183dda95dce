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
using Kind = CaptureDevice::Kind;

TEST(CaptureDevice, discoverListsOnlyNamedVideoCaptureNodes)
{
    // Named like video nodes, but a regular file and character devices that
    // refuse VIDIOC_QUERYCAP: none of them can capture.
    TempDir dev;
    EXPECT_TRUE(CaptureDevice::discover(dev / "missing").empty());
    std::ofstream(dev / "video0") << "x";
    std::filesystem::create_symlink("/dev/null", dev / "video1");
    std::filesystem::create_symlink("/dev/zero", dev / "video12");
    std::ofstream(dev / "videoX") << "x";
    EXPECT_TRUE(CaptureDevice::discover(dev.path()).empty());
    for (const auto &device : CaptureDevice::discover()) {
        EXPECT_EQ(device.kind, Kind::camera);
        EXPECT_EQ(device.path.parent_path(), "/dev");
        EXPECT_FALSE(device.name.empty());
    }
}

TEST(CaptureDevice, fromPathTellsCamerasVideosAndFoldersApartAndOnlyPermissionsRefuse)
{
    TempDir dir;
    std::ofstream(dir / "clip.avi") << "x";
    std::filesystem::create_directory(dir / "pictures");
    struct Case
    {
        std::filesystem::path path;
        Kind kind;
        std::string name;
    };
    const Case cases[] = {
        {dir / "clip.avi", Kind::videoFile, "clip.avi"},
        {dir / "pictures", Kind::imageFolder, "pictures"},
        {(dir / "pictures").string() + "/", Kind::imageFolder, "pictures"},
        {"/dev/null", Kind::camera, "null"},
        // Missing paths: a camera under /dev, a video elsewhere; opening reports them missing.
        {"/dev/video97", Kind::camera, "video97"},
        {dir / "gone.mp4", Kind::videoFile, "gone.mp4"},
    };
    for (const auto &c : cases) {
        const auto device = CaptureDevice::fromPath(c.path);
        EXPECT_EQ(device.kind, c.kind) << c.path;
        EXPECT_EQ(device.name, c.name) << c.path;
        EXPECT_EQ(device.authorization(), CaptureAuthorization::authorized) << c.path;
    }
    // Equal by kind and path, not by name.
    EXPECT_EQ(CaptureDevice::fromPath("/dev/null"), (CaptureDevice{Kind::camera, "/dev/null", "other"}));
    EXPECT_NE(CaptureDevice::fromPath("/dev/null"), (CaptureDevice{Kind::videoFile, "/dev/null", "null"}));
    if (::geteuid() != 0) { // root's file permissions refuse nothing
        ::chmod((dir / "clip.avi").c_str(), 0);
        EXPECT_EQ(CaptureDevice::fromPath(dir / "clip.avi").authorization(), CaptureAuthorization::denied);
    }
}

TEST(CaptureException, errnoMapsToTheCaseLinuxCanTell)
{
    const std::pair<int, CaptureError> cases[] = {
        {ENOENT, CaptureError::deviceMissing},     {ENODEV, CaptureError::deviceMissing},
        {ENXIO, CaptureError::deviceMissing},      {EACCES, CaptureError::permissionDenied},
        {EPERM, CaptureError::permissionRestricted}, {EBUSY, CaptureError::openFailed},
        {EIO, CaptureError::openFailed},
    };
    for (const auto &[error, expected] : cases)
        EXPECT_EQ(CaptureException::fromErrno(error, "/dev/video0").error(), expected) << error;
    const auto busy = CaptureException::fromErrno(EBUSY, "/dev/video0");
    EXPECT_EQ(busy.detail(), "Device or resource busy");
    EXPECT_STREQ(busy.what(), "/dev/video0: Device or resource busy");
    EXPECT_STREQ(CaptureException(CaptureError::deviceMissing, {}, "no camera found").what(), "no camera found");
}
