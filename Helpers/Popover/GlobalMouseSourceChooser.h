#pragma once

#include "Helpers/Core/GlobalMouseSource.h"

#include "Platform/Runtime/Candidate.h"

#include <memory>
#include <vector>

namespace faciward::helpers {

/// @brief Picks the source of outside clicks from an explicit, ordered list of
/// candidates, as the engine picks its idle-time source.
///
/// Each candidate is made in turn; the first that can be made wins and is
/// named once on standard error. When none can, the application turning
/// inactive stands in (it is always there), and standard error says why the
/// others could not serve.
class GlobalMouseSourceChooser
{
public:
    /// @brief A source that may be there; make() returns null when it cannot serve here.
    using Candidate = platform::Candidate<std::shared_ptr<GlobalMouseSource>>;

    /// @brief The first candidate of @p candidates that can be made, in their
    /// order, or the application-inactive stand-in.
    static std::shared_ptr<GlobalMouseSource> choose(const std::vector<Candidate> &candidates);

    /// @brief The candidates of this session, in order: XInput2 raw presses
    /// when Qt runs on X11 (on Wayland or offscreen, an X connection would see
    /// none of the clicks that matter).
    static std::vector<Candidate> systemCandidates();
};

/// @brief The application's source, shared by every popover: chosen on first
/// use (after the QApplication) by GlobalMouseSourceChooser from its system
/// candidates, and named once on standard error.
std::shared_ptr<GlobalMouseSource> systemMouseSource();

} // namespace faciward::helpers
