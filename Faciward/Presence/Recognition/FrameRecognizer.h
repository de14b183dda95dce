#pragma once

#include "Platform/Vision/Image.h"

#include <vector>

namespace faciward::presence {

/// @brief What the locking engine asks of face recognition: is the owner in
/// each of these frames? RecognizerManager is the real one; tests put a fake
/// in its place.
///
/// Called from one worker thread at a time.
class FrameRecognizer
{
public:
    virtual ~FrameRecognizer() = default;

    /// @brief True when the models are loaded.
    virtual bool hasModel() const = 0;

    /// @brief Loads the models; they then stay loaded. Takes about a second.
    /// @throws platform::VisionException when a model file is missing or damaged.
    virtual void loadModel() = 0;

    /// @brief One answer per frame, in frame order: true when the owner's face is
    /// in that frame. A frame whose faces cannot be found or embedded is false.
    /// @throws std::exception when the whole check fails (no models loaded, say);
    /// the engine counts that as an absent owner.
    virtual std::vector<bool> recognize(const std::vector<platform::Image> &frames) = 0;
};

} // namespace faciward::presence
