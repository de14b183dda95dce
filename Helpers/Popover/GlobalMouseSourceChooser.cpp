#include "GlobalMouseSourceChooser.h"

#include "ApplicationInactiveMouseSource.h"

#include "Helpers/X11/X11MouseSource.h"

#include "Platform/Runtime/Diagnostics.h"

#include <QGuiApplication>

namespace faciward::helpers {

std::shared_ptr<GlobalMouseSource> GlobalMouseSourceChooser::choose(const std::vector<Candidate> &candidates)
{
    // A source that can be made serves.
    auto choice = platform::firstServing(candidates, "outside clicks", [](const GlobalMouseSource &) { return true; });
    if (choice.chosen)
        return choice.chosen;
    auto standIn = std::make_shared<ApplicationInactiveMouseSource>();
    platform::Diagnostics::print("outside clicks: using " + standIn->name() +
                                 (choice.unserved.empty() ? std::string() : " (" + choice.unserved + ")"));
    return standIn;
}

std::vector<GlobalMouseSourceChooser::Candidate> GlobalMouseSourceChooser::systemCandidates()
{
    std::vector<Candidate> candidates;
    if (QGuiApplication::platformName() == QStringLiteral("xcb"))
        candidates.push_back({"no X display with XInput 2", [] { return X11MouseSource::open(); }});
    return candidates;
}

std::shared_ptr<GlobalMouseSource> systemMouseSource()
{
    // One for the application: every popover shares its X connection.
    static const std::shared_ptr<GlobalMouseSource> source =
        GlobalMouseSourceChooser::choose(GlobalMouseSourceChooser::systemCandidates());
    return source;
}

} // namespace faciward::helpers
