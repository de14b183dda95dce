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

// The libraries' messages span lines (OpenCV's ends in one, after the
// function's name); the description is one line. Runs of white space and
// control characters become one space.
std::string oneLine(const std::string &text)
{
    std::string out;
    bool space = false;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7f) {
            space = !out.empty();
            continue;
        }
        if (space && c != ')')
            out += ' ';
        space = false;
        out += c;
    }
    return out;
}

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
        text += ": " + oneLine(detail);
    return text;
}

} // namespace

VisionException::VisionException(VisionError error, const std::string &detail)
    : CaseException<VisionError>(error, describe(error, detail))
{
}

} // namespace faciward::platform
