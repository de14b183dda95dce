#pragma once

#include "CameraException.h"
#include "CameraSetup.h"
#include "CameraStatus.h"
#include "Platform/Capture/CaptureBackend.h"
#include "Platform/Reactive/CurrentValueSubject.h"
#include "Platform/Reactive/OwnedPost.h"
#include "Platform/Reactive/Scheduler.h"

#include <opencv2/core/mat.hpp>

#include <memory>
#include <optional>

namespace faciward::presence {

/// @brief Face enrolment's camera: set-up with errors for the views, and start
/// and stop of the live picture.
///
/// It drives its own client of the capture back-end the engine's camera uses
/// (a camera streams to one reader at a time), so the two never fight over the
/// device. Creation configures it, on the main scheduler right after the
/// constructor returns. Everything is called on the main scheduler's thread.
class CameraManager
{
public:
    using Status = CameraStatus;

    CameraManager(platform::Scheduler &main, platform::CaptureBackend &backend);
    ~CameraManager();
    CameraManager(const CameraManager &) = delete;
    CameraManager &operator=(const CameraManager &) = delete;

    /// @brief Checks the permission, then sets up and sends the result on
    /// `isConfiguredSubject`: true once set up (again on every later call),
    /// false when set-up failed, and true after an access refusal.
    void configure();
    /// @brief Starts the live picture; also after a failure, as a new try.
    void start();
    void stop();
    bool isRunning() const;

    /// @brief Publishes @p error on `error`, on the main scheduler, later.
    void setError(const CameraException &error);

    Status status() const;

    /// @brief The last set-up or capture error for the views; empty at first, never cleared.
    const platform::CurrentValueSubject<std::optional<CameraException>> &error() const { return m_error; }
    const platform::CurrentValueSubject<bool> &isConfiguredSubject() const { return m_isConfiguredSubject; }

    /// @brief The frames of the live picture, on the main scheduler.
    platform::Publisher<cv::Mat> frames() const;

private:
    platform::Scheduler &m_main;
    platform::CaptureBackend &m_backend;
    platform::CurrentValueSubject<std::optional<CameraException>> m_error{std::nullopt};
    platform::CurrentValueSubject<bool> m_isConfiguredSubject{false};
    CameraSetup m_setup;
    // Errors arrive on capture threads and are sent on the main loop while this lives.
    platform::OwnedPost m_post{m_main};
};

} // namespace faciward::presence
