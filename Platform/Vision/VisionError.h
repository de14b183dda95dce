#pragma once

#include <exception>
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
class VisionException : public std::exception
{
public:
    VisionException(VisionError error, std::string detail);

    VisionError error() const noexcept { return m_error; }
    /// @brief E.g. "model file missing: /usr/share/faciward/fr_detect.onnx".
    const char *what() const noexcept override { return m_text.c_str(); }

private:
    VisionError m_error;
    std::string m_text;
};

} // namespace faciward::platform
