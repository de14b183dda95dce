#pragma once

// Shared by the tests of the face pipeline: the models, loaded once per test
// program, and the development pictures.

#include "Platform/Vision/FaceModels.h"
#include "Platform/Vision/Image.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <filesystem>
#include <stdexcept>

namespace faciward::testing {

/// @brief The real models of the build, loaded on first use (about a second).
inline std::shared_ptr<const platform::FaceModels> sharedFaceModels()
{
    static const auto models = platform::FaceModels::load(platform::FaceModels::Paths::standard());
    return models;
}

inline std::filesystem::path developmentData()
{
    return FACIWARD_DEV_DATA_DIR;
}

/// @brief A development picture, e.g. "johns/John_Simm/000288_00470387.jpg".
inline platform::Image developmentPicture(const std::string &relative)
{
    const auto path = developmentData() / relative;
    platform::Image image = cv::imread(path.string());
    if (image.empty())
        throw std::runtime_error("cannot read " + path.string());
    return image;
}

/// @brief @p picture scaled by @p scale and centred on a plain 640×480 frame, as
/// a webcam would show a face.
inline platform::Image webcamFrame(const platform::Image &picture, double scale = 2.0)
{
    platform::Image face;
    cv::resize(picture, face, cv::Size(), scale, scale, cv::INTER_CUBIC);
    platform::Image frame(480, 640, CV_8UC3, cv::Scalar(96, 104, 112));
    face.copyTo(frame(cv::Rect((640 - face.cols) / 2, (480 - face.rows) / 2, face.cols, face.rows)));
    return frame;
}

} // namespace faciward::testing
