#pragma once

#include "Platform/Vision/FaceRectangles.h"
#include "Platform/Vision/ResourcePool.h"

#include <dlib/image_processing/frontal_face_detector.h>

namespace faciward::bench {

/// @brief dlib's HOG face detector (no upsampling), measured beside the
/// application's neural detector for comparison.
///
/// dlib's scanner keeps working buffers, so each concurrent caller borrows one.
class HogFaceRectangles final : public platform::FaceRectangles
{
public:
    HogFaceRectangles();

    std::vector<platform::FaceBox> detect(const platform::Image &image) const override;

private:
    mutable platform::ResourcePool<dlib::frontal_face_detector> m_detectors;
};

} // namespace faciward::bench
