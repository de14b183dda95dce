#pragma once

#include "Platform/Runtime/Diagnostics.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace faciward::platform {

/// @brief One back-end a session may or may not offer (of the idle time, of
/// outside clicks), in a list that its chooser tries in order.
template<class Pointer>
struct Candidate
{
    /// What the candidate needs, for the line on standard error when it cannot serve.
    std::string description;
    /// Makes the candidate; may return null when it cannot even be made.
    std::function<Pointer()> make;
};

/// @brief What firstServing() found.
template<class Pointer>
struct CandidateChoice
{
    /// The winner; null when no candidate could serve.
    Pointer chosen;
    /// The descriptions of the candidates tried before the winner (all of
    /// them without one), joined by "; ": why they could not serve.
    std::string unserved;
};

/// @brief Makes @p candidates in their order until one is made and @p serves
/// it; that one wins and is named once on standard error as
/// "SUBJECT: using NAME". The candidates after the winner are never made.
template<class Pointer, class Serves>
CandidateChoice<Pointer> firstServing(const std::vector<Candidate<Pointer>> &candidates, std::string_view subject,
                                      Serves serves)
{
    CandidateChoice<Pointer> choice;
    for (const auto &candidate : candidates) {
        Pointer made = candidate.make ? candidate.make() : nullptr;
        if (made && serves(*made)) {
            Diagnostics::print(std::string(subject) + ": using " + made->name());
            choice.chosen = std::move(made);
            return choice;
        }
        choice.unserved += (choice.unserved.empty() ? "" : "; ") + candidate.description;
    }
    return choice;
}

} // namespace faciward::platform
