#pragma once

#include "Platform/Error/CaseException.h"

#include <string>
#include <string_view>

namespace faciward::platform {

/// @brief Why the face-vision layer could not do what it was asked.
enum class VisionError {
    /// A model file is not where it should be.
    modelMissing,
    /// A model file is there but cannot be loaded (damaged, or not a model).
    modelUnreadable,
    /// The picture is empty or of a pixel format the models cannot take.
    unsupportedImage,
    /// The library under a model failed while running it.
    inferenceFailed,
    /// The model ran but gave no usable output.
    noOutput,
};

/// @brief The case name, e.g. "modelMissing".
std::string_view name(VisionError error);

/// @brief Carries a VisionError, with a one-line description for people.
/// what() is e.g. "model file missing: /usr/share/faciward/fr_detect.onnx".
class VisionException : public CaseException<VisionError>
{
public:
    VisionException(VisionError error, const std::string &detail);
};

} // namespace faciward::platform
