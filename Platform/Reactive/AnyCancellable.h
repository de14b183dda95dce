#pragma once

#include <functional>
#include <utility>
#include <vector>

namespace faciward::platform {

/// @brief Owns one subscription or timer and cancels it when destroyed.
///
/// Move-only. `cancel()` is idempotent and safe to call on an empty or
/// already-cancelled object, so owners never need to track what they started.
class AnyCancellable
{
public:
    AnyCancellable() = default;
    explicit AnyCancellable(std::function<void()> cancel)
        : m_cancel(std::move(cancel))
    {
    }
    AnyCancellable(AnyCancellable &&other) noexcept
        : m_cancel(std::exchange(other.m_cancel, nullptr))
    {
    }
    AnyCancellable &operator=(AnyCancellable &&other) noexcept
    {
        if (this != &other) {
            cancel();
            m_cancel = std::exchange(other.m_cancel, nullptr);
        }
        return *this;
    }
    AnyCancellable(const AnyCancellable &) = delete;
    AnyCancellable &operator=(const AnyCancellable &) = delete;
    ~AnyCancellable() { cancel(); }

    void cancel()
    {
        if (auto cancel = std::exchange(m_cancel, nullptr))
            cancel();
    }

    /// @brief True while there is still something to cancel.
    bool isActive() const { return static_cast<bool>(m_cancel); }

    /// @brief Moves this cancellable into a set that its owner clears when it stops.
    void store(std::vector<AnyCancellable> &set) && { set.push_back(std::move(*this)); }

private:
    std::function<void()> m_cancel;
};

using CancellableSet = std::vector<AnyCancellable>;

/// @brief The value of publishers that signal without a payload.
struct Void
{
    friend bool operator==(Void, Void) { return true; }
};

} // namespace faciward::platform
