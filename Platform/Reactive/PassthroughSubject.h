#pragma once

#include "Publisher.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace faciward::platform {

/// @brief Sends each value to the receivers subscribed at that moment.
///
/// Thread-safe. A receiver may cancel itself, or subscribe others, while a
/// value is being delivered; a receiver cancelled during a send is not called
/// again, and one added during a send first hears the next value.
template<class T>
class PassthroughSubject
{
public:
    PassthroughSubject()
        : m_state(std::make_shared<State>())
    {
    }
    PassthroughSubject(const PassthroughSubject &) = delete;
    PassthroughSubject &operator=(const PassthroughSubject &) = delete;

    void send(const T &value) const
    {
        std::vector<std::shared_ptr<Slot>> slots;
        {
            std::lock_guard lock(m_state->mutex);
            slots = m_state->slots;
        }
        for (const auto &slot : slots) {
            if (slot->active.load())
                slot->receiver(value);
        }
    }

    [[nodiscard]] AnyCancellable sink(typename Publisher<T>::Receiver receiver) const
    {
        return subscribe(m_state, std::move(receiver));
    }

    /// @brief This subject as a publisher; it stays valid after the subject is gone
    /// (and then simply sends nothing more).
    Publisher<T> publisher() const
    {
        std::shared_ptr<State> state = m_state;
        return Publisher<T>([state](typename Publisher<T>::Receiver receiver) {
            return subscribe(state, std::move(receiver));
        });
    }

    std::size_t subscriberCount() const
    {
        std::lock_guard lock(m_state->mutex);
        return m_state->slots.size();
    }

private:
    struct Slot
    {
        typename Publisher<T>::Receiver receiver;
        std::atomic<bool> active{true};
    };
    struct State
    {
        mutable std::mutex mutex;
        std::vector<std::shared_ptr<Slot>> slots;
    };

    static AnyCancellable subscribe(const std::shared_ptr<State> &state, typename Publisher<T>::Receiver receiver)
    {
        auto slot = std::make_shared<Slot>();
        slot->receiver = std::move(receiver);
        {
            std::lock_guard lock(state->mutex);
            state->slots.push_back(slot);
        }
        std::weak_ptr<State> weakState = state;
        std::weak_ptr<Slot> weakSlot = slot;
        return AnyCancellable([weakState, weakSlot] {
            auto slot = weakSlot.lock();
            if (!slot)
                return;
            slot->active.store(false);
            if (auto state = weakState.lock()) {
                std::lock_guard lock(state->mutex);
                std::erase(state->slots, slot);
            }
        });
    }

    std::shared_ptr<State> m_state;
};

} // namespace faciward::platform
