#include "VirtualScheduler.h"

namespace faciward::testing {

VirtualScheduler::VirtualScheduler()
    : m_start(TimePoint{} + std::chrono::hours(1000))
    , m_now(m_start)
    // A fixed calendar moment keeps date texts in tests reproducible: 2026-03-02 09:00:00 UTC.
    , m_wallBase(std::chrono::sys_days{std::chrono::year{2026} / 3 / 2} + std::chrono::hours(9))
    , m_owner(std::this_thread::get_id())
{
}

VirtualScheduler::TimePoint VirtualScheduler::now() const
{
    return m_now;
}

VirtualScheduler::WallTimePoint VirtualScheduler::wallNow() const
{
    return m_wallBase + std::chrono::duration_cast<std::chrono::system_clock::duration>(m_now - m_start);
}

void VirtualScheduler::post(std::function<void()> work)
{
    {
        std::lock_guard lock(m_inboxMutex);
        m_inbox.push_back(std::move(work));
    }
    m_inboxCondition.notify_all();
}

platform::AnyCancellable VirtualScheduler::postAfter(Duration delay, std::function<void()> work, Duration)
{
    return schedule(delay, Duration::zero(), false, std::move(work));
}

platform::AnyCancellable VirtualScheduler::repeatEvery(Duration interval, std::function<void()> work, Duration)
{
    return schedule(interval, interval, true, std::move(work));
}

bool VirtualScheduler::isCurrent() const
{
    return std::this_thread::get_id() == m_owner;
}

platform::AnyCancellable VirtualScheduler::schedule(Duration delay, Duration interval, bool repeating,
                                                    std::function<void()> work)
{
    if (!isCurrent()) {
        // Timers are armed on the scheduler's thread; a request from elsewhere
        // is carried there like any posted work.
        auto token = std::make_shared<platform::AnyCancellable>();
        auto cancelled = std::make_shared<bool>(false);
        post([this, token, cancelled, delay, interval, repeating, work = std::move(work)]() mutable {
            if (!*cancelled)
                *token = schedule(delay, interval, repeating, std::move(work));
        });
        return platform::AnyCancellable([this, token, cancelled] {
            post([token, cancelled] {
                *cancelled = true;
                token->cancel();
            });
        });
    }
    auto timer = std::make_shared<Timer>();
    timer->work = std::move(work);
    timer->interval = interval;
    timer->repeating = repeating;
    m_timers.emplace(Key{m_now + std::max(delay, Duration::zero()), m_sequence++}, timer);
    std::weak_ptr<Timer> weak = timer;
    return platform::AnyCancellable([weak] {
        if (auto t = weak.lock())
            t->cancelled = true;
    });
}

bool VirtualScheduler::runOnePost()
{
    std::function<void()> work;
    {
        std::lock_guard lock(m_inboxMutex);
        if (m_inbox.empty())
            return false;
        work = std::move(m_inbox.front());
        m_inbox.pop_front();
    }
    work();
    return true;
}

void VirtualScheduler::runPending()
{
    while (runOnePost()) {
    }
}

void VirtualScheduler::advanceTo(TimePoint t)
{
    for (;;) {
        runPending();
        // Drop cancelled timers lazily, so cancellation costs nothing at the call.
        while (!m_timers.empty() && m_timers.begin()->second->cancelled)
            m_timers.erase(m_timers.begin());
        if (m_timers.empty() || m_timers.begin()->first.first > t)
            break;
        auto node = m_timers.extract(m_timers.begin());
        auto timer = node.mapped();
        m_now = std::max(m_now, node.key().first);
        if (timer->repeating)
            m_timers.emplace(Key{node.key().first + timer->interval, m_sequence++}, timer);
        timer->work();
    }
    m_now = std::max(m_now, t);
    runPending();
}

void VirtualScheduler::advanceBy(Duration d)
{
    advanceTo(m_now + d);
}

bool VirtualScheduler::waitForPost(std::chrono::milliseconds realTimeout)
{
    {
        std::unique_lock lock(m_inboxMutex);
        if (!m_inboxCondition.wait_for(lock, realTimeout, [this] { return !m_inbox.empty(); }))
            return false;
    }
    runPending();
    return true;
}

void VirtualScheduler::jumpWall(Duration d)
{
    m_wallBase += std::chrono::duration_cast<std::chrono::system_clock::duration>(d);
}

void VirtualScheduler::setWallNow(WallTimePoint t)
{
    m_wallBase = t - std::chrono::duration_cast<std::chrono::system_clock::duration>(m_now - m_start);
}

double VirtualScheduler::elapsed() const
{
    return std::chrono::duration<double>(m_now - m_start).count();
}

std::size_t VirtualScheduler::pendingTimers() const
{
    std::size_t n = 0;
    for (const auto &[key, timer] : m_timers)
        n += timer->cancelled ? 0 : 1;
    return n;
}

} // namespace faciward::testing
