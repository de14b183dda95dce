#pragma once

#include "CameraException.h"
#include "CameraSetup.h"
#include "CameraStatus.h"
#include "Platform/Capture/CaptureBackend.h"
#include "Platform/Reactive/CurrentValueSubject.h"
#include "Platform/Reactive/PassthroughSubject.h"
#include "Platform/Reactive/Scheduler.h"

#include <opencv2/core/mat.hpp>

#include <memory>
#include <optional>
#include <vector>

namespace faciward::presence {

/// @brief The camera that watches the user: set-up, start and stop on request,
/// the choice of device, and every frame republished on the main scheduler.
///
/// Made with the main scheduler and the capture back-end it drives (in the
/// program, a client of the `SharedCaptureBackend` it shares with face
/// enrolment). Creation checks the permission and chooses the device on the
/// main scheduler right after the constructor returns, so subscribers attached
/// in the same turn see its errors. Everything is called on the main
/// scheduler's thread; the back-end's capture runs on its own thread.
class CameraManagerCombine
{
public:
    using Status = CameraStatus;

    CameraManagerCombine(platform::Scheduler &main, platform::CaptureBackend &backend);
    ~CameraManagerCombine();
    CameraManagerCombine(const CameraManagerCombine &) = delete;
    CameraManagerCombine &operator=(const CameraManagerCombine &) = delete;

    /// @brief Checks the permission, then chooses the device and sends the
    /// result on `isConfiguredSubject`; both on the main scheduler, later.
    void configure();

    /// @brief Asks for capture to start and returns at once. After a failure,
    /// this is a new try: the device is looked for and opened again.
    void startRunning();
    /// @brief Asks for capture to stop and returns at once; no frame is sent after it.
    void stopRunning();
    /// @brief The latest request: true from `startRunning()` until `stopRunning()`
    /// or until a failure ended capture.
    bool isRunning() const;

    /// @brief Switches to @p device, through the capture thread, between two
    /// frames. Does nothing when @p device is not one of `availableCameras()`.
    void selectCamera(const platform::CaptureDevice &device);
    /// @brief The devices the user can choose from.
    std::vector<platform::CaptureDevice> availableCameras() const;
    /// @brief The device in use, for the menu's tick.
    std::optional<platform::CaptureDevice> selectedDevice() const;

    Status status() const;

    /// @brief Set-up and capture failures, each once while it lasts.
    const platform::PassthroughSubject<CameraException> &cameraErrorSubject() const { return m_cameraErrorSubject; }
    /// @brief Every frame (BGR, 8 bits per channel, never changed afterwards), sent after
    /// `cameraFrameCGImageSubject`, on the main scheduler.
    const platform::PassthroughSubject<cv::Mat> &cameraFrameSubject() const { return m_cameraFrameSubject; }
    /// @brief Every frame, the same picture as `cameraFrameSubject`, sent first.
    const platform::PassthroughSubject<cv::Mat> &cameraFrameCGImageSubject() const
    {
        return m_cameraFrameCGImageSubject;
    }
    /// @brief Never sent.
    const platform::PassthroughSubject<bool> &cameraStatusSubject() const { return m_cameraStatusSubject; }
    /// @brief The result of each configuration; false until the first.
    const platform::CurrentValueSubject<bool> &isConfiguredSubject() const { return m_isConfiguredSubject; }

private:
    platform::CaptureBackend &m_backend;
    platform::PassthroughSubject<CameraException> m_cameraErrorSubject;
    platform::PassthroughSubject<cv::Mat> m_cameraFrameSubject;
    platform::PassthroughSubject<cv::Mat> m_cameraFrameCGImageSubject;
    platform::PassthroughSubject<bool> m_cameraStatusSubject;
    platform::CurrentValueSubject<bool> m_isConfiguredSubject{false};
    CameraSetup m_setup;
};

} // namespace faciward::presence
