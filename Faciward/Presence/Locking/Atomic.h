#pragma once

#include <mutex>
#include <type_traits>
#include <utility>

namespace faciward::presence {

/// @brief One value whose every access is serialised by its own lock.
/// Safe from any thread.
template<class T>
class Atomic
{
public:
    explicit Atomic(T value = T{})
        : m_value(std::move(value))
    {
    }
    Atomic(const Atomic &) = delete;
    Atomic &operator=(const Atomic &) = delete;

    /// @brief A copy of the value.
    T load() const
    {
        std::lock_guard lock(m_mutex);
        return m_value;
    }

    void store(T value)
    {
        std::lock_guard lock(m_mutex);
        m_value = std::move(value);
    }

    /// @brief Runs @p access on the value under the lock (a read-modify-write in
    /// one step) and returns what it returns. @p access must not use this box.
    template<class F>
    std::invoke_result_t<F, T &> with(F &&access)
    {
        std::lock_guard lock(m_mutex);
        return std::forward<F>(access)(m_value);
    }

private:
    mutable std::mutex m_mutex;
    T m_value;
};

} // namespace faciward::presence
