#pragma once

#include "Platform/Error/CaseException.h"
#include "Platform/Vision/FaceBox.h"
#include "Platform/Vision/FaceRectangles.h"
#include "Platform/Vision/Image.h"

#include <memory>
#include <string_view>
#include <vector>

namespace faciward::presence {

using platform::Image;

/// @brief Finds every face in a camera frame and hands back each as a square
/// picture of 224 by 224 pixels, ready for the Recognizer.
///
/// Light: one may be made per frame. Safe to use from several threads.
class FaceDetector
{
public:
    /// @brief Why a frame gave no faces.
    enum class Error { couldNotFindFace, couldNotGetCIImage, couldNotProcessImageRequest };

    /// @brief Carries an Error; what() is the case name.
    using Exception = platform::CaseException<Error>;

    /// @brief One face: where it is in the frame, and its 224 by 224 picture.
    struct Face
    {
        platform::FaceBox box;
        Image picture;
    };

    /// @brief Side of the face pictures, in pixels.
    static constexpr int cropSize = 224;

    explicit FaceDetector(std::shared_ptr<const platform::FaceRectangles> faceRectangles);

    /// @brief The face pictures of @p frame, largest face first. Each is the face
    /// box widened by FaceCrop's margin and stretched to 224 by 224; parts beyond
    /// the frame are black.
    /// @throws Exception couldNotGetCIImage for an empty frame or one of a pixel
    /// format other than 8-bit grey, BGR or BGRA; couldNotProcessImageRequest
    /// when the detector fails; couldNotFindFace when there is no face (never an
    /// empty list).
    std::vector<Image> detect(const Image &frame) const;

    /// @brief As detect(), with the box of each face.
    std::vector<Face> detectFaces(const Image &frame) const;

private:
    std::shared_ptr<const platform::FaceRectangles> m_faceRectangles;
};

/// @brief The case name, e.g. "couldNotFindFace".
std::string_view name(FaceDetector::Error error);

} // namespace faciward::presence
