#include "Faciward/Presence/Recognition/RecognizerManager.h"

#include "Faciward/Presence/Recognition/FaceDetector.h"
#include "Faciward/Presence/Recognition/Similarity.h"
#include "Faciward/Settings/Keys.h"
#include "SettingsStore/Prefs.h"
#include "Platform/Runtime/BoundedTaskGroup.h"

#include <cmath>
#include <cstdio>

namespace faciward::presence {

std::string_view name(RecognizerManager::Error error)
{
    switch (error) {
    case RecognizerManager::Error::modelNotLoaded:
        return "modelNotLoaded";
    }
    return "unknown";
}

RecognizerManager::RecognizerManager()
    : RecognizerManager([] { return prefs::Prefs::get(settings::Keys::embeddings()); },
                        [] { return settings::similarityThreshold(prefs::Prefs::get(settings::Keys::facePrecision())); })
{
}

RecognizerManager::RecognizerManager(EmbeddingsSource embeddings, ThresholdSource threshold)
    : m_embeddings(std::move(embeddings))
    , m_threshold(std::move(threshold))
{
}

Recognizer::Model RecognizerManager::model() const
{
    std::lock_guard lock(m_modelMutex);
    return m_model;
}

void RecognizerManager::setModel(Recognizer::Model model)
{
    std::lock_guard lock(m_modelMutex);
    m_model = std::move(model);
}

bool RecognizerManager::hasModel() const
{
    return model() != nullptr;
}

void RecognizerManager::loadModel()
{
    setModel(Recognizer::loadModel());
}

Recognizer::Model RecognizerManager::requireModel() const
{
    Recognizer::Model current = model();
    if (!current)
        throw Exception(Error::modelNotLoaded);
    return current;
}

bool RecognizerManager::matchesStoredEmbeddings(const std::vector<std::vector<double>> &faceEmbeddings) const
{
    bool recognised = false;
    // Every pair is scored, and the settings are read as often as they are used,
    // so a change made during a check counts from the next comparison on.
    for (const auto &face : faceEmbeddings) {
        const std::vector<std::vector<double>> stored = m_embeddings();
        bool faceMatched = false;
        for (const auto &enrolled : stored) {
            const double score = Similarity().score(enrolled, face);
            const double threshold = m_threshold();
            if (score > threshold) // a NaN score never matches
                faceMatched = true;
        }
        recognised = recognised || faceMatched;
    }
    return recognised;
}

RecognizerManager::FrameCheck RecognizerManager::checkFrame(const Image &frame, const Recognizer::Model &model) const
{
    using Outcome = FrameCheck::Outcome;
    std::vector<Image> faces;
    try {
        faces = FaceDetector(model->faceRectangles()).detect(frame);
    } catch (const FaceDetector::Exception &e) {
        const bool noFace = e.error() == FaceDetector::Error::couldNotFindFace;
        return {noFace ? Outcome::noFace : Outcome::failed, std::string(name(e.error()))};
    }
    std::vector<std::vector<double>> embeddings;
    try {
        embeddings = platform::boundedMap(faces, concurrencyLimit,
                                         [&model](const Image &face) { return Recognizer(model).recognize(face); });
    } catch (const Recognizer::Exception &e) {
        return {Outcome::failed, std::string(name(e.error()))};
    }
    return {matchesStoredEmbeddings(embeddings) ? Outcome::owner : Outcome::stranger, {}};
}

std::vector<RecognizerManager::FrameCheck> RecognizerManager::check(const std::vector<Image> &frames) const
{
    if (frames.empty())
        return {};
    const Recognizer::Model current = requireModel();
    return platform::boundedMap(frames, concurrencyLimit,
                               [this, &current](const Image &frame) { return checkFrame(frame, current); });
}

std::vector<bool> RecognizerManager::recognize(const std::vector<Image> &frames)
{
    std::vector<bool> answers;
    for (const FrameCheck &frame : check(frames)) {
        if (!frame.error.empty())
            std::printf("%s\n", frame.error.c_str());
        answers.push_back(frame.outcome == FrameCheck::Outcome::owner);
    }
    std::fflush(stdout);
    return answers;
}

namespace {

// Such an embedding can never match, and numbers that are not finite cannot
// even be stored: one would make every enrolled embedding unreadable.
bool usable(const std::vector<double> &embedding)
{
    bool nonZero = false;
    for (double v : embedding) {
        if (!std::isfinite(v))
            return false;
        nonZero = nonZero || v != 0;
    }
    return nonZero;
}

} // namespace

std::vector<std::vector<double>> RecognizerManager::embeddings(const std::vector<Image> &frames) const
{
    if (frames.empty())
        return {};
    const Recognizer::Model current = requireModel();
    const auto perFrame = platform::boundedMap(frames, concurrencyLimit, [&current](const Image &frame) {
        const Recognizer recognizer(current);
        const FaceDetector detector(current->faceRectangles());
        try {
            return platform::boundedMap(detector.detect(frame), concurrencyLimit,
                                       [&recognizer](const Image &face) { return recognizer.recognize(face); });
        } catch (const FaceDetector::Exception &) {
        } catch (const Recognizer::Exception &) {
        }
        return std::vector<std::vector<double>>{};
    });
    std::vector<std::vector<double>> all;
    for (const auto &frameEmbeddings : perFrame) {
        for (const auto &embedding : frameEmbeddings) {
            if (usable(embedding))
                all.push_back(embedding);
        }
    }
    return all;
}

} // namespace faciward::presence
