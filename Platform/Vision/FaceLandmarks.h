#pragma once

#include "Platform/Vision/Image.h"

#include <array>
#include <filesystem>
#include <memory>

namespace faciward::platform {

/// @brief The 68 landmarks of a face (jaw, brows, nose, eyes, mouth), found by
/// dlib's shape predictor inside a face box.
///
/// The predictor expects boxes drawn the way FaceRectangles draws them: a
/// square from the brows to below the lower lip. Safe for concurrent use.
class FaceLandmarks
{
public:
    /// @brief Points in image pixels, in the 68-point order of the predictor
    /// (0-16 jaw, 17-26 brows, 27-35 nose, 36-47 eyes, 48-67 mouth).
    using Points = std::array<cv::Point2f, 68>;

    /// @brief Loads the predictor (about 95 MB) from @p path.
    /// @throws VisionException modelMissing or modelUnreadable.
    static std::shared_ptr<const FaceLandmarks> load(const std::filesystem::path &path);

    ~FaceLandmarks();
    FaceLandmarks(const FaceLandmarks &) = delete;
    FaceLandmarks &operator=(const FaceLandmarks &) = delete;

    /// @brief The landmarks of the face in @p faceBox (pixels of @p image, which
    /// must be 8-bit BGR). The box may reach past the image.
    /// @throws VisionException unsupportedImage or inferenceFailed.
    Points locate(const Image &image, const cv::Rect2d &faceBox) const;

private:
    struct Private;
    explicit FaceLandmarks(std::unique_ptr<Private> d);
    std::unique_ptr<Private> const d;
};

} // namespace faciward::platform
