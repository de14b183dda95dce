#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <optional>
#include <thread>
#include <type_traits>
#include <vector>

namespace faciward::platform {

/// @brief Applies @p work to every input with at most @p maxConcurrent running
/// at once, and returns the results in input order.
///
/// The calling thread takes part as one of the workers. If a call throws, the
/// other inputs still run; the exception of the first failing input (in input
/// order) is rethrown once all have finished.
template<class Input, class Work>
auto boundedMap(const std::vector<Input> &inputs, std::size_t maxConcurrent, Work work)
    -> std::vector<std::decay_t<std::invoke_result_t<Work &, const Input &>>>
{
    using Result = std::decay_t<std::invoke_result_t<Work &, const Input &>>;
    std::vector<std::optional<Result>> results(inputs.size());
    std::vector<std::exception_ptr> failures(inputs.size());
    std::atomic<std::size_t> next{0};

    auto drain = [&] {
        for (std::size_t i = next.fetch_add(1); i < inputs.size(); i = next.fetch_add(1)) {
            try {
                results[i].emplace(work(inputs[i]));
            } catch (...) {
                failures[i] = std::current_exception();
            }
        }
    };

    const std::size_t workers = std::clamp<std::size_t>(std::min(maxConcurrent, inputs.size()), 1, 64);
    std::vector<std::jthread> helpers;
    helpers.reserve(workers - 1);
    for (std::size_t i = 1; i < workers; ++i)
        helpers.emplace_back(drain);
    drain();
    helpers.clear(); // joins

    for (const auto &failure : failures) {
        if (failure)
            std::rethrow_exception(failure);
    }
    std::vector<Result> ordered;
    ordered.reserve(inputs.size());
    for (auto &result : results)
        ordered.push_back(std::move(*result));
    return ordered;
}

} // namespace faciward::platform
