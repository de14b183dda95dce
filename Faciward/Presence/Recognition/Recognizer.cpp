#include "Faciward/Presence/Recognition/Recognizer.h"

#include "Platform/Vision/VisionError.h"

namespace faciward::presence {

std::string_view name(Recognizer::Error error)
{
    switch (error) {
    case Recognizer::Error::couldNotGetEmbeddings:
        return "couldNotGetEmbeddings";
    case Recognizer::Error::couldNotGetCGImage:
        return "couldNotGetCGImage";
    case Recognizer::Error::couldNotGetFaceFeatures:
        return "couldNotGetFaceFeatures";
    }
    return "unknown";
}

Recognizer::Model Recognizer::loadModel()
{
    return platform::FaceModels::load(platform::FaceModels::Paths::standard());
}

Recognizer::Recognizer(Model model)
    : m_model(std::move(model))
{
}

std::vector<double> Recognizer::recognize(const Image &image) const
{
    const std::optional<Image> bgr = platform::bgrImage(image);
    if (!bgr)
        throw Exception(Error::couldNotGetCGImage);
    if (!m_model || !m_model->embeddingModel())
        throw Exception(Error::couldNotGetEmbeddings);
    try {
        std::vector<double> embedding = m_model->embeddingModel()->embedding(*bgr);
        if (embedding.empty())
            throw Exception(Error::couldNotGetFaceFeatures);
        return embedding;
    } catch (const platform::VisionException &e) {
        switch (e.error()) {
        case platform::VisionError::unsupportedImage:
            throw Exception(Error::couldNotGetCGImage);
        case platform::VisionError::noOutput:
            throw Exception(Error::couldNotGetFaceFeatures);
        default:
            throw Exception(Error::couldNotGetEmbeddings);
        }
    } catch (const Exception &) {
        throw;
    } catch (const std::exception &) {
        throw Exception(Error::couldNotGetEmbeddings);
    }
}

} // namespace faciward::presence
