#pragma once

#include "Platform/Capture/CaptureBackend.h"

#include <memory>
#include <mutex>

namespace faciward::presence {

/// @brief One capture back-end shared by several users, each through a client of its own.
///
/// A Linux camera streams to one reader at a time, so the engine's camera and
/// face enrolment's camera share one back-end. A client's `start()` and
/// `stop()` are an idempotent claim; capture runs while at least one client
/// holds its claim, and stops when the last one lets go. A client sees frames
/// only while it holds its claim, so the engine never collects the frames of
/// enrolment's preview. The device choice and the failures are common to all.
class SharedCaptureBackend
{
public:
    explicit SharedCaptureBackend(platform::CaptureBackend &backend);
    ~SharedCaptureBackend();
    SharedCaptureBackend(const SharedCaptureBackend &) = delete;
    SharedCaptureBackend &operator=(const SharedCaptureBackend &) = delete;

    /// @brief A new client. It must not outlive this object; destroying it lets go of its claim.
    std::unique_ptr<platform::CaptureBackend> client();

    /// @brief How many clients hold a claim now.
    int claims() const;

private:
    class Client;

    platform::CaptureBackend &m_backend;
    mutable std::mutex m_mutex;
    int m_claims = 0;
};

} // namespace faciward::presence
