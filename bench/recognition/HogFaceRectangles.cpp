#include "HogFaceRectangles.h"

#include "Platform/Vision/VisionError.h"

#include <dlib/opencv/cv_image.h>

#include <cmath>

namespace faciward::bench {

using platform::FaceBox;
using platform::Image;
using platform::VisionError;
using platform::VisionException;

HogFaceRectangles::HogFaceRectangles()
    : m_detectors([] { return std::make_unique<dlib::frontal_face_detector>(dlib::get_frontal_face_detector()); })
{
    m_detectors.reserve(1);
}

std::vector<FaceBox> HogFaceRectangles::detect(const Image &image) const
{
    const std::optional<Image> bgr = platform::bgrImage(image);
    if (!bgr)
        throw VisionException(VisionError::unsupportedImage, "faces are found in 8-bit grey, BGR or BGRA pictures");
    std::vector<dlib::rect_detection> found;
    try {
        auto detector = m_detectors.acquire();
        const dlib::cv_image<dlib::bgr_pixel> view(*bgr);
        (*detector)(view, found, 0.0);
    } catch (const std::exception &e) {
        throw VisionException(VisionError::inferenceFailed, e.what());
    }
    std::vector<FaceBox> faces;
    for (const auto &d : found) {
        // The detector's scores are margins around 0; squash them into 0..1.
        const float confidence = static_cast<float>(1.0 / (1.0 + std::exp(-d.detection_confidence)));
        faces.push_back({cv::Rect2d(d.rect.left(), d.rect.top(), d.rect.width(), d.rect.height()), confidence});
    }
    sortLargestFirst(faces);
    return faces;
}

} // namespace faciward::bench
