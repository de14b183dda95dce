#pragma once

#include "CaptureAuthorization.h"

#include <filesystem>
#include <string>
#include <vector>

namespace faciward::platform {

/// @brief Something frames can be captured from: a V4L2 camera, or a video file
/// or a folder of pictures standing in for one.
struct CaptureDevice
{
    enum class Kind {
        /// A V4L2 video-capture node such as /dev/video0.
        camera,
        /// A video file, played at its own frame rate and started over at its end.
        videoFile,
        /// A folder of pictures, played in file-name order at 10 frames a second, then again.
        imageFolder,
    };

    Kind kind = Kind::camera;
    /// The device node, the video file or the folder.
    std::filesystem::path path;
    /// What a user would call it: the driver's card name for a camera, the file name otherwise.
    std::string name;

    /// @brief Two entries are the same device when they have the same kind and path.
    friend bool operator==(const CaptureDevice &a, const CaptureDevice &b)
    {
        return a.kind == b.kind && a.path == b.path;
    }

    /// @brief The V4L2 video-capture devices in @p deviceFolder (`videoN` nodes,
    /// in number order), named by `VIDIOC_QUERYCAP`.
    ///
    /// Nodes that do not capture video (metadata nodes, output devices, anything
    /// that is not V4L2) are left out. A node this user may not open is listed
    /// under its file name, so that opening it later reports the refusal.
    static std::vector<CaptureDevice> discover(const std::filesystem::path &deviceFolder = "/dev");

    /// @brief The device a command-line argument names: a character device is a
    /// camera, a folder a picture folder, anything else a video file. A path that
    /// does not exist is taken for a camera under /dev and for a video file
    /// elsewhere; opening it then reports it missing.
    static CaptureDevice fromPath(const std::filesystem::path &path);

    /// @brief Throws CaptureException (unsupportedDevice) when what lies at
    /// @p path is neither a character device, a regular file nor a folder: a
    /// FIFO, a socket or a block device, whose opening or reading could block
    /// for ever. Nothing at the path passes: opening then reports it missing.
    static void checkKind(const std::filesystem::path &path);

    /// @brief Whether the file permissions let this process open the device.
    /// A missing device counts as authorised: that it is missing is reported on its own.
    CaptureAuthorization authorization() const;
};

} // namespace faciward::platform
