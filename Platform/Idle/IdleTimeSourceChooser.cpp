#include "IdleTimeSourceChooser.h"

#include "DBus/DBusIdleTimeSource.h"
#include "NullIdleTimeSource.h"
#include "X11/X11IdleTimeSource.h"

#include <cstdio>
#include <cstdlib>

namespace faciward::platform {

namespace {

bool isSet(const char *variable)
{
    const char *value = std::getenv(variable);
    return value && *value;
}

} // namespace

IdleTimeSourceChooser::Choice IdleTimeSourceChooser::choose(const std::vector<Candidate> &candidates)
{
    std::string tried;
    for (const auto &candidate : candidates) {
        std::unique_ptr<IdleTimeSource> source = candidate.make ? candidate.make() : nullptr;
        if (source && source->isAvailable()) {
            std::fprintf(stderr, "idle time: using %s\n", source->name().c_str());
            return {std::move(source), true};
        }
        tried += (tried.empty() ? "" : "; ") + candidate.description;
    }
    std::fprintf(stderr, "idle time: unknown, no source answers (%s)\n",
                 tried.empty() ? "no source to try" : tried.c_str());
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

IdleTimeSourceChooser::Choice IdleTimeSourceChooser::system()
{
    return choose(systemCandidates());
}

} // namespace faciward::platform
