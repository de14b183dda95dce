#include "IdleTimeSourceChooser.h"

#include "DBus/DBusIdleTimeSource.h"
#include "NullIdleTimeSource.h"
#include "X11/X11IdleTimeSource.h"

#include "Platform/Runtime/Diagnostics.h"

#include <cstdlib>

namespace faciward::platform {

namespace {

bool isSet(const char *variable)
{
    const char *value = std::getenv(variable);
    return value && *value;
}

} // namespace

IdleTimeSourceChooser::Choice IdleTimeSourceChooser::choose(const std::vector<Candidate> &candidates,
                                                          const std::string &consequence)
{
    auto choice = firstServing(candidates, "idle time", [](IdleTimeSource &source) { return source.isAvailable(); });
    if (choice.chosen)
        return {std::move(choice.chosen), true};
    Diagnostics::print("idle time: unknown, no source answers (" +
                       (choice.unserved.empty() ? "no source to try" : choice.unserved) + ")" +
                       (consequence.empty() ? "" : "; " + consequence));
    return {std::make_unique<NullIdleTimeSource>(), false};
}

std::vector<IdleTimeSourceChooser::Candidate> IdleTimeSourceChooser::systemCandidates()
{
    std::vector<Candidate> candidates;
    Candidate x11{"no X display with MIT-SCREEN-SAVER", [] { return std::make_unique<X11IdleTimeSource>(); }};
    Candidate dbus{"no D-Bus idle monitor on the session bus", [] { return std::make_unique<DBusIdleTimeSource>(); }};
    const bool wayland = isSet("WAYLAND_DISPLAY");
    if (wayland)
        candidates.push_back(dbus);
    if (isSet("DISPLAY"))
        candidates.push_back(x11);
    if (!wayland)
        candidates.push_back(dbus);
    return candidates;
}

IdleTimeSourceChooser::Choice IdleTimeSourceChooser::system(const std::string &consequence)
{
    return choose(systemCandidates(), consequence);
}

} // namespace faciward::platform
