#pragma once

#include "PassthroughSubject.h"

#include <mutex>

namespace faciward::platform {

/// @brief Holds a value and sends every new one, repeats included; a new
/// receiver hears the current value at once.
///
/// Thread-safe. Values sent from one thread reach receivers in the order sent.
template<class T>
class CurrentValueSubject
{
public:
    explicit CurrentValueSubject(T initial)
        : m_state(std::make_shared<State>(std::move(initial)))
    {
    }
    CurrentValueSubject(const CurrentValueSubject &) = delete;
    CurrentValueSubject &operator=(const CurrentValueSubject &) = delete;

    T value() const
    {
        std::lock_guard lock(m_state->mutex);
        return m_state->value;
    }

    void send(const T &value)
    {
        // Holding the send lock across delivery keeps the order receivers see
        // equal to the order of the writes, even when two threads send at once.
        std::lock_guard sendLock(m_state->sendMutex);
        {
            std::lock_guard lock(m_state->mutex);
            m_state->value = value;
        }
        m_state->subject.send(value);
    }

    [[nodiscard]] AnyCancellable sink(typename Publisher<T>::Receiver receiver) const
    {
        return subscribe(m_state, std::move(receiver));
    }

    Publisher<T> publisher() const
    {
        std::shared_ptr<State> state = m_state;
        return Publisher<T>([state](typename Publisher<T>::Receiver receiver) {
            return subscribe(state, std::move(receiver));
        });
    }

private:
    struct State
    {
        explicit State(T initial)
            : value(std::move(initial))
        {
        }
        std::recursive_mutex sendMutex;
        mutable std::mutex mutex;
        T value;
        PassthroughSubject<T> subject;
    };

    static AnyCancellable subscribe(const std::shared_ptr<State> &state, typename Publisher<T>::Receiver receiver)
    {
        std::lock_guard sendLock(state->sendMutex);
        const T current = [&] {
            std::lock_guard lock(state->mutex);
            return state->value;
        }();
        auto cancellable = state->subject.sink(receiver);
        receiver(current);
        return cancellable;
    }

    std::shared_ptr<State> m_state;
};

} // namespace faciward::platform
