#include "FrameReader.h"

#include "ImageFolderFrameReader.h"
#include "VideoCaptureFrameReader.h"

namespace faciward::platform {

std::unique_ptr<FrameReader> FrameReader::open(const CaptureDevice &device)
{
    CaptureDevice::checkKind(device.path);
    switch (device.kind) {
    case CaptureDevice::Kind::camera:
        return std::make_unique<VideoCaptureFrameReader>(device.path, VideoCaptureFrameReader::Mode::camera);
    case CaptureDevice::Kind::videoFile:
        return std::make_unique<VideoCaptureFrameReader>(device.path, VideoCaptureFrameReader::Mode::videoFile);
    case CaptureDevice::Kind::imageFolder:
        return std::make_unique<ImageFolderFrameReader>(device.path);
    }
    return nullptr;
}

} // namespace faciward::platform
