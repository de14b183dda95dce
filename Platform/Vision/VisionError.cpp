#include "Platform/Vision/VisionError.h"

namespace faciward::platform {

std::string_view name(VisionError error)
{
    switch (error) {
    case VisionError::modelMissing:
        return "modelMissing";
    case VisionError::modelUnreadable:
        return "modelUnreadable";
    case VisionError::unsupportedImage:
        return "unsupportedImage";
    case VisionError::inferenceFailed:
        return "inferenceFailed";
    case VisionError::noOutput:
        return "noOutput";
    }
    return "unknown";
}

namespace {

std::string describe(VisionError error, const std::string &detail)
{
    std::string text;
    switch (error) {
    case VisionError::modelMissing:
        text = "model file missing";
        break;
    case VisionError::modelUnreadable:
        text = "model file unreadable";
        break;
    case VisionError::unsupportedImage:
        text = "unsupported picture";
        break;
    case VisionError::inferenceFailed:
        text = "model failed";
        break;
    case VisionError::noOutput:
        text = "model gave no output";
        break;
    }
    if (!detail.empty())
        text += ": " + detail;
    return text;
}

} // namespace

VisionException::VisionException(VisionError error, const std::string &detail)
    : CaseException<VisionError>(error, describe(error, detail))
{
}

} // namespace faciward::platform
