#include "CountDown.h"

namespace faciward::presence {

CountDown::CountDown(platform::Scheduler &scheduler)
    : m_scheduler(scheduler)
{
}

void CountDown::start(std::uint64_t count, platform::Scheduler::Duration interval, std::function<void()> completion)
{
    m_count = count;
    m_subject.send(m_count);
    m_completed = std::move(completion);
    // The timer belongs to this object, so capturing `this` is safe: destroying
    // the count-down cancels the timer first.
    if (count == 0)
        m_timer = m_scheduler.postAfter(platform::Scheduler::Duration::zero(), [this] { finish(); });
    else
        m_timer = m_scheduler.repeatEvery(interval, [this] { tick(); });
}

void CountDown::cancel()
{
    m_timer.cancel();
}

void CountDown::tick()
{
    if (m_count == 0)
        return;
    --m_count;
    m_subject.send(m_count);
    // A receiver may have cancelled or restarted the count-down meanwhile.
    if (m_count == 0 && m_timer.isActive())
        finish();
}

void CountDown::finish()
{
    // Disarm before completing: a completion that starts this count-down again
    // must keep its new timer. It runs from a copy, because such a restart
    // replaces the stored completion while it is running.
    m_timer.cancel();
    if (auto completed = m_completed)
        completed();
}

} // namespace faciward::presence
