#include "GlobalMouseSourceChooser.h"

#include "ApplicationInactiveMouseSource.h"
#include "X11MouseSource.h"

#include "Platform/Runtime/Diagnostics.h"

#include <QGuiApplication>

namespace faciward::helpers {

std::shared_ptr<GlobalMouseSource> GlobalMouseSourceChooser::choose(const std::vector<Candidate> &candidates)
{
    std::string tried;
    for (const auto &candidate : candidates) {
        if (std::shared_ptr<GlobalMouseSource> source = candidate.make ? candidate.make() : nullptr) {
            platform::Diagnostics::print("outside clicks: using " + source->name());
            return source;
        }
        tried += (tried.empty() ? "" : "; ") + candidate.description;
    }
    auto standIn = std::make_shared<ApplicationInactiveMouseSource>();
    platform::Diagnostics::print("outside clicks: using " + standIn->name() +
                                 (tried.empty() ? std::string() : " (" + tried + ")"));
    return standIn;
}

std::vector<GlobalMouseSourceChooser::Candidate> GlobalMouseSourceChooser::systemCandidates()
{
    std::vector<Candidate> candidates;
    if (QGuiApplication::platformName() == QStringLiteral("xcb"))
        candidates.push_back({"no X display with XInput 2", [] { return X11MouseSource::open(); }});
    return candidates;
}

} // namespace faciward::helpers
