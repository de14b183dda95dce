#include "FrameManager.h"

namespace faciward::presence {

FrameManager::FrameManager(CameraManager &camera)
    : m_frames(camera.frames().sink([this](const cv::Mat &frame) { m_current.send(frame); }))
{
}

} // namespace faciward::presence
