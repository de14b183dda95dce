#pragma once

#include "Platform/Vision/FaceLandmarks.h"
#include "Platform/Vision/Image.h"

#include <filesystem>
#include <memory>
#include <vector>

namespace faciward::platform {

/// @brief Turns the picture of one face into an embedding: a list of numbers
/// that lie close together, by cosine similarity, for pictures of one person.
///
/// Implementations are safe for concurrent use from any number of threads.
class EmbeddingModel
{
public:
    virtual ~EmbeddingModel() = default;

    /// @brief The embedding of the face in @p faceCrop, a picture cut around a
    /// face box as FaceCrop cuts it (any size; 224 by 224 in the application).
    /// The numbers are the network's own: not normalised, not rounded.
    /// @throws VisionException unsupportedImage for an empty picture or one that
    /// is not 8-bit grey, BGR or BGRA; inferenceFailed when the landmarks or the
    /// network fail; noOutput when the network gives nothing.
    virtual std::vector<double> embedding(const Image &faceCrop) const = 0;

    /// @brief The model of the application: the 68 landmarks of @p landmarks
    /// placed in the crop's face box, the five-point alignment to 112 by 112
    /// (FaceAlignment), then the network at @p networkPath (fr_feature.onnx),
    /// which gives 512 numbers.
    /// @throws VisionException modelMissing or modelUnreadable.
    static std::shared_ptr<const EmbeddingModel> create(const std::filesystem::path &networkPath,
                                                        std::shared_ptr<const FaceLandmarks> landmarks);
};

} // namespace faciward::platform
