#pragma once

#include "Platform/Error/CaseException.h"
#include "Platform/Vision/FaceModels.h"
#include "Platform/Vision/Image.h"

#include <memory>
#include <string_view>
#include <vector>

namespace faciward::presence {

using platform::Image;

/// @brief Computes the embedding of one face picture with the loaded models.
///
/// Light: one may be made per face over the one shared model. Safe to use from
/// several threads.
class Recognizer
{
public:
    /// @brief Why a face picture gave no embedding.
    enum class Error { couldNotGetEmbeddings, couldNotGetCGImage, couldNotGetFaceFeatures };

    /// @brief Carries an Error; what() is the case name.
    using Exception = platform::CaseException<Error>;

    /// @brief The loaded models, shared by every recognizer and detector.
    using Model = std::shared_ptr<const platform::FaceModels>;

    /// @brief Loads the models from where FaceModels::Paths::standard() says
    /// ($FACIWARD_MODEL_DIR, else the build's model folder). Takes about a second.
    /// @throws platform::VisionException modelMissing or modelUnreadable, unchanged.
    static Model loadModel();

    /// @brief How many numbers an embedding of the face model has.
    static constexpr std::size_t embeddingSize = 512;

    explicit Recognizer(Model model);

    /// @brief The embedding of @p image, a face picture as FaceDetector makes it:
    /// the landmarks are found in it, the face aligned, and the network run. As
    /// many numbers as the network gives (512), not normalised, not rounded.
    /// @throws Exception couldNotGetCGImage for an empty picture or an unsupported
    /// pixel format, without running any model; couldNotGetEmbeddings when the
    /// models fail (or none is loaded); couldNotGetFaceFeatures when the network
    /// gives no numbers.
    std::vector<double> recognize(const Image &image) const;

private:
    Model m_model;
};

/// @brief The case name, e.g. "couldNotGetEmbeddings".
std::string_view name(Recognizer::Error error);

} // namespace faciward::presence
