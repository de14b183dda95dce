#include "Faciward/Presence/Recognition/FaceDetector.h"

#include "Platform/Vision/FaceCrop.h"
#include "Platform/Vision/VisionError.h"

#include <cmath>

namespace faciward::presence {

std::string_view name(FaceDetector::Error error)
{
    switch (error) {
    case FaceDetector::Error::couldNotFindFace:
        return "couldNotFindFace";
    case FaceDetector::Error::couldNotGetCIImage:
        return "couldNotGetCIImage";
    case FaceDetector::Error::couldNotProcessImageRequest:
        return "couldNotProcessImageRequest";
    }
    return "unknown";
}

FaceDetector::FaceDetector(std::shared_ptr<const platform::FaceRectangles> faceRectangles)
    : m_faceRectangles(std::move(faceRectangles))
{
}

std::vector<FaceDetector::Face> FaceDetector::detectFaces(const Image &frame) const
{
    const std::optional<Image> bgr = platform::bgrImage(frame);
    if (!bgr)
        throw Exception(Error::couldNotGetCIImage);
    if (!m_faceRectangles)
        throw Exception(Error::couldNotProcessImageRequest);

    std::vector<platform::FaceBox> boxes;
    try {
        boxes = m_faceRectangles->detect(*bgr);
    } catch (const platform::VisionException &e) {
        throw Exception(e.error() == platform::VisionError::unsupportedImage ? Error::couldNotGetCIImage
                                                                              : Error::couldNotProcessImageRequest);
    } catch (const std::exception &) {
        throw Exception(Error::couldNotProcessImageRequest);
    }
    // A box that is not a finite area of sensible size is no face.
    const double limit = 4.0 * std::max(bgr->cols, bgr->rows);
    std::erase_if(boxes, [limit](const platform::FaceBox &b) {
        const cv::Rect2d &r = b.rect;
        return !(std::isfinite(r.x) && std::isfinite(r.y) && r.width >= 1 && r.height >= 1 && r.width <= limit &&
                 r.height <= limit && std::abs(r.x) <= limit && std::abs(r.y) <= limit);
    });
    if (boxes.empty())
        throw Exception(Error::couldNotFindFace);

    std::vector<Face> faces;
    faces.reserve(boxes.size());
    try {
        for (const auto &box : boxes)
            faces.push_back({box, platform::FaceCrop::cut(*bgr, platform::FaceCrop::region(box.rect),
                                                          cv::Size(cropSize, cropSize))});
    } catch (const std::exception &) { // cv::Exception, or no memory for the crops
        throw Exception(Error::couldNotProcessImageRequest);
    }
    return faces;
}

std::vector<Image> FaceDetector::detect(const Image &frame) const
{
    std::vector<Image> pictures;
    for (auto &face : detectFaces(frame))
        pictures.push_back(std::move(face.picture));
    return pictures;
}

} // namespace faciward::presence
