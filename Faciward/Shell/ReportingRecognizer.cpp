#include "ReportingRecognizer.h"

namespace faciward::shell {

ReportingRecognizer::ReportingRecognizer(presence::RecognizerManager &manager, Report report)
    : m_manager(manager)
    , m_report(std::move(report))
{
}

bool ReportingRecognizer::hasModel() const
{
    return m_manager.hasModel();
}

void ReportingRecognizer::loadModel()
{
    m_manager.loadModel();
}

std::vector<bool> ReportingRecognizer::recognize(const std::vector<platform::Image> &frames)
{
    using Outcome = presence::RecognizerManager::FrameCheck::Outcome;
    const auto checks = m_manager.check(frames);
    std::vector<bool> answers;
    answers.reserve(checks.size());
    for (std::size_t i = 0; i < checks.size(); ++i) {
        if (!checks[i].error.empty() && m_report)
            m_report("frame " + std::to_string(i + 1) + " of " + std::to_string(checks.size()) + ": " +
                     checks[i].error);
        answers.push_back(checks[i].outcome == Outcome::owner);
    }
    return answers;
}

} // namespace faciward::shell
