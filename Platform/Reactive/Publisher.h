#pragma once

#include "AnyCancellable.h"
#include "Scheduler.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

namespace faciward::platform {

/// @brief A type-erased stream of values that never fails and never completes.
///
/// A publisher is a recipe: each `sink` makes a subscription of its own, with
/// its own operator state (a throttle window, for example), so a consumer that
/// subscribes anew starts from a clean slate.
template<class T>
class Publisher
{
public:
    using Output = T;
    using Receiver = std::function<void(const T &)>;
    using SubscribeFunction = std::function<AnyCancellable(Receiver)>;

    Publisher() = default;
    explicit Publisher(SubscribeFunction subscribe)
        : m_subscribe(std::move(subscribe))
    {
    }

    /// @brief Delivers every value to @p receiver until the result is cancelled or destroyed.
    [[nodiscard]] AnyCancellable sink(Receiver receiver) const
    {
        if (!m_subscribe)
            return {};
        return m_subscribe(std::move(receiver));
    }

    /// @brief Transforms every value.
    template<class F, class R = std::decay_t<std::invoke_result_t<F, const T &>>>
    Publisher<R> map(F transform) const
    {
        auto upstream = *this;
        return Publisher<R>([upstream, transform](typename Publisher<R>::Receiver receiver) {
            return upstream.sink([transform, receiver](const T &value) { receiver(transform(value)); });
        });
    }

    /// @brief Passes on only the values for which @p predicate holds.
    template<class F>
    Publisher<T> filter(F predicate) const
    {
        auto upstream = *this;
        return Publisher<T>([upstream, predicate](Receiver receiver) {
            return upstream.sink([predicate, receiver](const T &value) {
                if (predicate(value))
                    receiver(value);
            });
        });
    }

    /// @brief Delivers each value on @p scheduler's thread, in order.
    ///
    /// A value already posted when the subscription is cancelled is dropped.
    Publisher<T> receiveOn(Scheduler &scheduler) const
    {
        auto upstream = *this;
        Scheduler *target = &scheduler;
        return Publisher<T>([upstream, target](Receiver receiver) {
            auto alive = std::make_shared<std::atomic<bool>>(true);
            auto inner = std::make_shared<AnyCancellable>(upstream.sink([alive, target, receiver](const T &value) {
                target->post([alive, receiver, value] {
                    if (alive->load())
                        receiver(value);
                });
            }));
            return AnyCancellable([alive, inner] {
                alive->store(false);
                inner->cancel();
            });
        });
    }

    /// @brief Lets at most one value through per @p interval, on @p scheduler.
    ///
    /// A value that arrives when the window is open goes out at once. Values
    /// that arrive inside the window are held, the latest replacing older ones
    /// when @p latest is true (the first one kept otherwise), and the held value
    /// goes out when the window closes. Emissions are therefore at least
    /// @p interval apart. Values are expected on the scheduler's thread.
    Publisher<T> throttle(Scheduler &scheduler, Scheduler::Duration interval, bool latest) const
    {
        auto upstream = *this;
        Scheduler *clock = &scheduler;
        return Publisher<T>([upstream, clock, interval, latest](Receiver receiver) {
            struct State
            {
                std::mutex mutex;
                std::optional<T> held;
                std::optional<Scheduler::TimePoint> lastEmission;
                AnyCancellable window;
                bool alive = true;
            };
            auto state = std::make_shared<State>();
            std::weak_ptr<State> weak = state;

            auto emitHeld = [weak, receiver, clock] {
                auto s = weak.lock();
                if (!s)
                    return;
                std::optional<T> value;
                {
                    std::lock_guard lock(s->mutex);
                    if (!s->alive || !s->held)
                        return;
                    value = std::move(s->held);
                    s->held.reset();
                    s->lastEmission = clock->now();
                }
                receiver(*value);
            };

            auto inner = std::make_shared<AnyCancellable>(
                upstream.sink([weak, receiver, clock, interval, latest, emitHeld](const T &value) {
                    auto s = weak.lock();
                    if (!s)
                        return;
                    std::unique_lock lock(s->mutex);
                    if (!s->alive)
                        return;
                    const auto now = clock->now();
                    if (s->held) {
                        if (latest)
                            s->held = value;
                        return;
                    }
                    if (!s->lastEmission || now - *s->lastEmission >= interval) {
                        s->lastEmission = now;
                        lock.unlock();
                        receiver(value);
                        return;
                    }
                    s->held = value;
                    const auto due = *s->lastEmission + interval - now;
                    s->window = clock->postAfter(due, emitHeld);
                }));

            return AnyCancellable([state, inner] {
                inner->cancel();
                AnyCancellable window;
                {
                    std::lock_guard lock(state->mutex);
                    state->alive = false;
                    state->held.reset();
                    window = std::move(state->window);
                }
                window.cancel();
            });
        });
    }

private:
    SubscribeFunction m_subscribe;
};

} // namespace faciward::platform
