#include "Faciward/Presence/Recognition/PoseFaceDetector.h"

#include "Platform/Runtime/Diagnostics.h"
#include "Platform/Vision/HeadPose.h"
#include "Platform/Vision/VisionError.h"

#include <atomic>
#include <cstdio>

namespace faciward::presence {

struct PoseFaceDetector::State
{
    std::shared_ptr<const platform::FaceModels> models;
    platform::PassthroughSubject<FaceData> subject;
    // The frame in flight. Claimed by detect() on the caller's thread and
    // released on the executor's, so it is one atomic flag.
    std::atomic<bool> processing{false};

    void measure(const platform::Image &frame);
};

namespace {

// Releases the frame on every way out of a measurement.
class ProcessingGuard
{
public:
    explicit ProcessingGuard(std::atomic<bool> &flag) : m_flag(flag) {}
    ~ProcessingGuard() { m_flag.store(false); }
    ProcessingGuard(const ProcessingGuard &) = delete;
    ProcessingGuard &operator=(const ProcessingGuard &) = delete;

private:
    std::atomic<bool> &m_flag;
};

} // namespace

void PoseFaceDetector::State::measure(const platform::Image &frame)
{
    const ProcessingGuard guard(processing);
    if (!models || !models->faceRectangles() || !models->landmarks())
        return;
    const std::optional<platform::Image> bgr = platform::bgrImage(frame);
    if (!bgr)
        return;
    std::vector<platform::FaceBox> faces;
    try {
        faces = models->faceRectangles()->detect(*bgr);
    } catch (const std::exception &e) {
        platform::Diagnostics::print(std::string("Failed to perform FaceRectangleRequest: ") + e.what());
        return;
    }
    if (faces.empty())
        return;
    platform::HeadPose pose;
    try {
        pose = platform::HeadPose::measure(*bgr, faces.front().rect, *models->faceRectangles(), *models->landmarks());
    } catch (const platform::VisionException &) {
        return; // a face without all three angles publishes nothing
    }
    subject.send(FaceData{FaceParameters::fromRadians(pose), frame});
}

PoseFaceDetector::PoseFaceDetector(std::shared_ptr<const platform::FaceModels> models, Executor executor)
    : d(std::make_shared<State>())
    , m_executor(std::move(executor))
{
    d->models = std::move(models);
}

PoseFaceDetector::~PoseFaceDetector() = default;

void PoseFaceDetector::detect(const platform::Image &image)
{
    bool idle = false;
    if (!d->processing.compare_exchange_strong(idle, true))
        return;
    std::weak_ptr<State> weak = d;
    try {
        m_executor([weak, image] {
            if (auto state = weak.lock()) {
                try {
                    state->measure(image);
                } catch (const std::exception &e) { // out of memory, say: the next frame tries again
                    platform::Diagnostics::print(std::string("Failed to measure the head pose: ") + e.what());
                }
            }
        });
    } catch (...) {
        d->processing.store(false);
        throw;
    }
}

bool PoseFaceDetector::isProcessing() const
{
    return d->processing.load();
}

const platform::PassthroughSubject<PoseFaceDetector::FaceData> &PoseFaceDetector::faceParametersSubject() const
{
    return d->subject;
}

} // namespace faciward::presence
