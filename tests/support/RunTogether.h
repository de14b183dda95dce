#pragma once

#include <barrier>
#include <thread>
#include <vector>

namespace faciward::testing {

/// @brief Runs @p body(index) for every index below @p threads, each on a
/// thread of its own. The threads are released together, so that their work
/// overlaps as much as it can; returns when all have ended.
template<class Body>
void runTogether(int threads, Body body)
{
    std::barrier start(threads);
    std::vector<std::jthread> workers;
    workers.reserve(static_cast<std::size_t>(threads));
    for (int index = 0; index < threads; ++index)
        workers.emplace_back([&start, &body, index] {
            start.arrive_and_wait();
            body(index);
        });
}

} // namespace faciward::testing
