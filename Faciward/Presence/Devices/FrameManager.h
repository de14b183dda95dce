#pragma once

#include "CameraManager.h"
#include "Platform/Reactive/CurrentValueSubject.h"

#include <opencv2/core/mat.hpp>

#include <optional>

namespace faciward::presence {

/// @brief Keeps the newest frame of face enrolment's camera for the live picture.
///
/// Every frame is handed on as it comes, on the main scheduler, without
/// throttling or conversion.
class FrameManager
{
public:
    explicit FrameManager(CameraManager &camera);
    FrameManager(const FrameManager &) = delete;
    FrameManager &operator=(const FrameManager &) = delete;

    /// @brief The newest frame; empty until the first.
    const platform::CurrentValueSubject<std::optional<cv::Mat>> &current() const { return m_current; }

private:
    platform::CurrentValueSubject<std::optional<cv::Mat>> m_current{std::nullopt};
    platform::AnyCancellable m_frames;
};

} // namespace faciward::presence
