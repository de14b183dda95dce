#pragma once

#include "VirtualScheduler.h"

#include <chrono>

namespace faciward::testing {

/// @brief Runs the work other threads post to @p scheduler until @p done holds,
/// waiting for posts in real time; @p timeout is a safety net that turns a hang
/// into a failure. Returns `done()`.
template<class Predicate>
bool pumpUntil(VirtualScheduler &scheduler, Predicate done,
               std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    scheduler.runPending();
    while (!done()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        scheduler.waitForPost(std::min(left, std::chrono::milliseconds(100)));
    }
    return true;
}

} // namespace faciward::testing
