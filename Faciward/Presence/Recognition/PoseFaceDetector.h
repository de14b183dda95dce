#pragma once

#include "Faciward/Presence/Recognition/FaceParameters.h"
#include "Platform/Reactive/PassthroughSubject.h"
#include "Platform/Vision/FaceModels.h"
#include "Platform/Vision/Image.h"

#include <functional>
#include <memory>

namespace faciward::presence {

/// @brief Measures how the user's head is turned, frame after frame, while a
/// face is enrolled.
///
/// One measurement runs at a time, on the executor given; a frame given while
/// one runs is dropped, so the rate of measurements follows the detection time
/// and not the camera's rate. Each frame with a face gives the pose of its
/// first (largest) face on faceParametersSubject, sent from the executor's thread.
class PoseFaceDetector
{
public:
    /// @brief One measurement: the pose and the frame it was measured in.
    struct FaceData
    {
        FaceParameters parameters;
        platform::Image image;
    };

    /// @brief Runs a job elsewhere (a worker thread); must not run it inline.
    using Executor = std::function<void(std::function<void()>)>;

    /// @param models needs its face rectangles and landmarks.
    PoseFaceDetector(std::shared_ptr<const platform::FaceModels> models, Executor executor);
    /// @brief Work already handed to the executor does nothing once the detector is gone.
    ~PoseFaceDetector();
    PoseFaceDetector(const PoseFaceDetector &) = delete;
    PoseFaceDetector &operator=(const PoseFaceDetector &) = delete;

    /// @brief Starts measuring @p image, unless a measurement is running. Returns at once.
    void detect(const platform::Image &image);

    /// @brief True while a measurement runs.
    bool isProcessing() const;

    const platform::PassthroughSubject<FaceData> &faceParametersSubject() const;

private:
    struct State;
    std::shared_ptr<State> const d;
    Executor m_executor;
};

} // namespace faciward::presence
