#pragma once

#include "IdleTimeSource.h"

#include "Platform/Runtime/Candidate.h"

#include <memory>
#include <string>
#include <vector>

namespace faciward::platform {

/// @brief Picks the idle-time source of this session from an explicit,
/// ordered list of candidates.
///
/// Each candidate is made and asked `isAvailable()` in turn; the first that
/// answers wins and is named once on standard error. When none answers, the
/// null source is returned and standard error says that the idle time is
/// unknown, and why.
class IdleTimeSourceChooser
{
public:
    /// @brief A source that may be there: made, then asked `isAvailable()`.
    using Candidate = platform::Candidate<std::unique_ptr<IdleTimeSource>>;

    /// @brief The chosen source, and whether a candidate answered.
    struct Choice
    {
        std::unique_ptr<IdleTimeSource> source;
        /// False when no candidate answered and source is the null source.
        bool found = false;
    };

    /// @brief The first available source of @p candidates, in their order, or
    /// the null source. @p consequence, when given, ends the line that says the
    /// idle time is unknown: what the caller will not do for want of it.
    static Choice choose(const std::vector<Candidate> &candidates, const std::string &consequence = {});

    /// @brief The candidates of this session, in order: X11 MIT-SCREEN-SAVER
    /// when a display is set, then the session's D-Bus idle monitor. In a Wayland
    /// session the D-Bus monitor comes first, because the X server there only
    /// sees input that goes to X clients.
    static std::vector<Candidate> systemCandidates();

    /// @brief `choose(systemCandidates(), consequence)`.
    static Choice system(const std::string &consequence = {});
};

} // namespace faciward::platform
