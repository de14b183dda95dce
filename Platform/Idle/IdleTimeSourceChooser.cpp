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
    std::string tried;
    for (const auto &candidate : candidates) {
        std::unique_ptr<IdleTimeSource> source = candidate.make ? candidate.make() : nullptr;
        if (source && source->isAvailable()) {
            Diagnostics::print("idle time: using " + source->name());
            return {std::move(source), true};
        }
        tried += (tried.empty() ? "" : "; ") + candidate.description;
    }
    Diagnostics::print("idle time: unknown, no source answers (" + (tried.empty() ? "no source to try" : tried) + ")" +
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
