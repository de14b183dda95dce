#include "SharedCaptureBackend.h"

#include <atomic>

namespace faciward::presence {

class SharedCaptureBackend::Client final : public platform::CaptureBackend
{
public:
    explicit Client(SharedCaptureBackend &shared)
        : m_shared(shared)
    {
    }

    ~Client() override { stop(); }

    std::vector<platform::CaptureDevice> devices() const override { return m_shared.m_backend.devices(); }

    platform::CaptureAuthorization authorization(const platform::CaptureDevice &device) const override
    {
        return m_shared.m_backend.authorization(device);
    }

    void select(const platform::CaptureDevice &device) override { m_shared.m_backend.select(device); }

    std::optional<platform::CaptureDevice> selected() const override { return m_shared.m_backend.selected(); }

    void start() override
    {
        std::lock_guard lock(m_shared.m_mutex);
        if (!m_claim->exchange(true))
            ++m_shared.m_claims;
        // Asked again even when another client already runs the camera: after a
        // failure ended the run, this is the new try.
        m_shared.m_backend.start();
    }

    void stop() override
    {
        std::lock_guard lock(m_shared.m_mutex);
        if (!m_claim->exchange(false))
            return;
        if (--m_shared.m_claims == 0)
            m_shared.m_backend.stop();
    }

    bool isRunning() const override { return m_claim->load() && m_shared.m_backend.isRunning(); }

    platform::Publisher<cv::Mat> frames() const override
    {
        auto claim = m_claim;
        return m_shared.m_backend.frames().filter([claim](const cv::Mat &) { return claim->load(); });
    }

    platform::Publisher<platform::CaptureException> failures() const override
    {
        return m_shared.m_backend.failures();
    }

private:
    SharedCaptureBackend &m_shared;
    // Shared with the frame filter, which may be evaluated after the client is gone.
    std::shared_ptr<std::atomic<bool>> m_claim = std::make_shared<std::atomic<bool>>(false);
};

SharedCaptureBackend::SharedCaptureBackend(platform::CaptureBackend &backend)
    : m_backend(backend)
{
}

SharedCaptureBackend::~SharedCaptureBackend() = default;

std::unique_ptr<platform::CaptureBackend> SharedCaptureBackend::client()
{
    return std::make_unique<Client>(*this);
}

int SharedCaptureBackend::claims() const
{
    std::lock_guard lock(m_mutex);
    return m_claims;
}

} // namespace faciward::presence
