#include "CaptureDevice.h"

#include "CaptureException.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <regex>

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace faciward::platform {

namespace {

struct QueryResult
{
    bool capture = false;
    std::string card;
};

// Asks the driver what the node is. nullopt when the node could not be opened
// for lack of permission, so the caller can still list it.
std::optional<QueryResult> query(const std::filesystem::path &node, bool &denied)
{
    denied = false;
    const int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        denied = errno == EACCES || errno == EPERM;
        return std::nullopt;
    }
    v4l2_capability caps{};
    int rc;
    do {
        rc = ::ioctl(fd, VIDIOC_QUERYCAP, &caps);
    } while (rc < 0 && errno == EINTR);
    ::close(fd);
    if (rc < 0)
        return QueryResult{};
    // device_caps describes this node; capabilities the whole physical device.
    const auto nodeCaps = (caps.capabilities & V4L2_CAP_DEVICE_CAPS) ? caps.device_caps : caps.capabilities;
    QueryResult result;
    result.capture = (nodeCaps & V4L2_CAP_VIDEO_CAPTURE) != 0;
    result.card.assign(reinterpret_cast<const char *>(caps.card), strnlen(reinterpret_cast<const char *>(caps.card),
                                                                          sizeof caps.card));
    return result;
}

} // namespace

std::vector<CaptureDevice> CaptureDevice::discover(const std::filesystem::path &deviceFolder)
{
    static const std::regex videoNode("video([0-9]+)");
    std::vector<std::pair<unsigned long, std::filesystem::path>> nodes;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(deviceFolder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::smatch match;
        if (std::regex_match(name, match, videoNode))
            nodes.emplace_back(std::stoul(match[1].str()), it->path());
    }
    std::sort(nodes.begin(), nodes.end());

    std::vector<CaptureDevice> devices;
    for (const auto &[number, node] : nodes) {
        bool denied = false;
        const auto result = query(node, denied);
        if (!result && denied)
            devices.push_back({Kind::camera, node, node.filename().string()});
        else if (result && result->capture)
            devices.push_back({Kind::camera, node, result->card.empty() ? node.filename().string() : result->card});
    }
    return devices;
}

CaptureDevice CaptureDevice::fromPath(const std::filesystem::path &path)
{
    struct stat st{};
    const std::string fileName = path.filename().empty() ? path.parent_path().filename().string()
                                                         : path.filename().string();
    if (::stat(path.c_str(), &st) != 0) {
        const bool underDev = path.string().rfind("/dev/", 0) == 0;
        return {underDev ? Kind::camera : Kind::videoFile, path, fileName};
    }
    if (S_ISCHR(st.st_mode)) {
        bool denied = false;
        const auto result = query(path, denied);
        return {Kind::camera, path, result && !result->card.empty() ? result->card : fileName};
    }
    if (S_ISDIR(st.st_mode))
        return {Kind::imageFolder, path, fileName};
    return {Kind::videoFile, path, fileName};
}

void CaptureDevice::checkKind(const std::filesystem::path &path)
{
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0)
        return;
    if (!S_ISCHR(st.st_mode) && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
        throw CaptureException(CaptureError::unsupportedDevice, path,
                               "neither a camera device, a video file nor a folder of pictures");
}

CaptureAuthorization CaptureDevice::authorization() const
{
    const int mode = kind == Kind::camera ? (R_OK | W_OK) : (kind == Kind::imageFolder ? (R_OK | X_OK) : R_OK);
    if (::access(path.c_str(), mode) == 0)
        return CaptureAuthorization::authorized;
    switch (errno) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
        return CaptureAuthorization::authorized;
    case EACCES:
        return CaptureAuthorization::denied;
    case EPERM:
        return CaptureAuthorization::restricted;
    default:
        return CaptureAuthorization::unknown;
    }
}

} // namespace faciward::platform
