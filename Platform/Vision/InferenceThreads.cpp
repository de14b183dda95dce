#include "Platform/Vision/InferenceThreads.h"

#include <opencv2/core/parallel/parallel_backend.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <sched.h>
#include <thread>
#include <vector>

namespace faciward::platform {

namespace {

// How long a helper keeps looking for the next loop before it sleeps. A
// network's layers follow each other within microseconds; waking a sleeping
// thread costs tens of them, which is a good part of a small layer.
constexpr auto spinBeforeSleep = std::chrono::microseconds(200);

std::atomic<std::size_t> g_callsInFlight{0};
std::atomic<std::size_t> g_threadLimit{0}; // 0: every core

// The threads a loop may use at most: the count set through cv::setNumThreads,
// within the cores this process may use.
std::size_t threadLimit()
{
    const std::size_t set = g_threadLimit.load();
    return set == 0 ? InferenceThreads::cores() : std::min(set, InferenceThreads::cores());
}

void relax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Work-sharing pool: the thread that starts a loop always works on it itself,
// so a loop never waits for a helper to wake up; helpers that come in time
// take some of its stripes.
class SharedCoresBackend final : public cv::parallel::ParallelForAPI
{
public:
    explicit SharedCoresBackend(std::size_t cores)
        : m_cores(cores)
    {
    }

    ~SharedCoresBackend() override
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        for (auto &helper : m_helpers)
            helper.join();
    }

    void parallel_for(int tasks, FN_parallel_for_body_cb_t body, void *data) override
    {
        const std::size_t threads = std::min<std::size_t>(InferenceThreads::threadsForNextLoop(), std::max(tasks, 0));
        if (threads <= 1) {
            body(0, tasks, data);
            return;
        }
        startHelpers();

        Job job;
        job.body = body;
        job.data = data;
        job.tasks = tasks;
        job.threads = static_cast<int>(threads);
        job.helpersWanted = threads - 1;
        bool published = false;
        {
            std::lock_guard lock(m_mutex);
            if (!m_job) {
                m_job = &job;
                m_generation.fetch_add(1, std::memory_order_release);
                published = true;
            }
        }
        if (!published) { // another thread's loop holds the helpers
            body(0, tasks, data);
            return;
        }
        m_wake.notify_all();

        work(job);
        waitFor([&job, tasks] { return job.done.load(std::memory_order_acquire) >= tasks; });
        {
            std::lock_guard lock(m_mutex);
            m_job = nullptr; // no helper joins from now on
        }
        // A helper leaves a moment after its last stripe is done. Sleeping on
        // a condition until then blocked one loop in 40, each time paying a
        // wake-up of the starting thread.
        waitFor([&job] { return job.helpersInside.load(std::memory_order_acquire) == 0; });
        if (job.error)
            std::rethrow_exception(job.error);
    }

    int getThreadNum() const override { return t_threadIndex; }
    int getNumThreads() const override { return static_cast<int>(threadLimit()); }

    int setNumThreads(int threads) override
    {
        const int previous = getNumThreads();
        // OpenCV's conventions: 0 runs loops on the calling thread alone, a
        // negative count means the default.
        g_threadLimit.store(threads < 0 ? 0 : static_cast<std::size_t>(std::max(threads, 1)));
        return previous;
    }

    const char *getName() const override { return "faciward-shared-cores"; }

private:
    struct Job
    {
        FN_parallel_for_body_cb_t body = nullptr;
        void *data = nullptr;
        int tasks = 0;
        int threads = 1;
        // Apart: every thread takes from the one, and the starting thread
        // waits on the other.
        alignas(64) std::atomic<int> next{0};
        alignas(64) std::atomic<int> done{0};
        std::size_t helpersWanted = 0;
        std::atomic<std::size_t> helpersInside{0}; // raised under m_mutex only
        std::exception_ptr error; // under m_mutex
    };

    template<class Done>
    static void waitFor(Done done)
    {
        for (int spins = 0; !done(); ++spins) {
            if (spins < 4096)
                relax();
            else
                std::this_thread::yield();
        }
    }

    // Takes the stripes in runs, each a share of those left that shrinks as
    // they run out: a layer asks for a stripe per plane or row, hundreds of
    // small ones, and taking them one by one cost two atomic hand-offs of a
    // cache line between the cores and a call for each (a network run had
    // some 2,900 stripes in 60 loops). Neighbouring stripes also share their
    // input's cache lines. The last runs are single stripes, so the threads
    // still end together.
    void work(Job &job)
    {
        int first = job.next.load(std::memory_order_relaxed);
        for (;;) {
            const int left = job.tasks - first;
            if (left <= 0)
                return;
            const int count = std::max(1, left / (2 * job.threads));
            if (!job.next.compare_exchange_weak(first, first + count, std::memory_order_relaxed))
                continue; // first now holds the stripe another thread left next
            try {
                job.body(first, first + count, job.data);
            } catch (...) {
                std::lock_guard lock(m_mutex);
                if (!job.error)
                    job.error = std::current_exception();
            }
            job.done.fetch_add(count, std::memory_order_release);
            first = job.next.load(std::memory_order_relaxed);
        }
    }

    void startHelpers()
    {
        std::call_once(m_started, [this] {
            // Read here, not when the thread starts: by then the loop that
            // started the helpers has been published, and they must take it.
            const std::uint64_t seen = m_generation.load(std::memory_order_acquire);
            for (std::size_t i = 1; i < m_cores; ++i)
                m_helpers.emplace_back([this, i, seen] { helperLoop(static_cast<int>(i), seen); });
        });
    }

    void helperLoop(int index, std::uint64_t seen)
    {
        t_threadIndex = index;
        for (;;) {
            // Waiting, a helper yields the core rather than pausing on it: on
            // a busy machine it may share its core with the thread whose loop
            // it waits for, which a pausing helper slowed down by half (the
            // detector on two shared cores: 7.6 ms, against 4.0 yielding).
            const auto giveUp = std::chrono::steady_clock::now() + spinBeforeSleep;
            while (m_generation.load(std::memory_order_acquire) == seen && std::chrono::steady_clock::now() < giveUp)
                std::this_thread::yield();

            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stopping || m_generation.load(std::memory_order_relaxed) != seen; });
            if (m_stopping)
                return;
            seen = m_generation.load(std::memory_order_relaxed);
            Job *job = m_job;
            if (!job || job->helpersInside.load(std::memory_order_relaxed) >= job->helpersWanted)
                continue;
            job->helpersInside.fetch_add(1, std::memory_order_relaxed);
            lock.unlock();
            work(*job);
            // The job lives on the starting thread's stack, which may return
            // as soon as this is seen: the last use of it.
            job->helpersInside.fetch_sub(1, std::memory_order_release);
        }
    }

    static thread_local int t_threadIndex;

    const std::size_t m_cores;
    std::once_flag m_started;
    std::vector<std::thread> m_helpers;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::atomic<std::uint64_t> m_generation{0}; // written under m_mutex
    bool m_stopping = false;
    Job *m_job = nullptr;
};

thread_local int SharedCoresBackend::t_threadIndex = 0;

} // namespace

InferenceThreads::Call::Call()
{
    g_callsInFlight.fetch_add(1, std::memory_order_relaxed);
}

InferenceThreads::Call::~Call()
{
    g_callsInFlight.fetch_sub(1, std::memory_order_relaxed);
}

void InferenceThreads::install()
{
    static std::once_flag once;
    std::call_once(once, [] {
        cv::parallel::setParallelForBackend(std::make_shared<SharedCoresBackend>(cores()));
    });
}

std::size_t InferenceThreads::cores()
{
    static const std::size_t count = [] {
        cpu_set_t set;
        if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
            return static_cast<std::size_t>(CPU_COUNT(&set));
        return std::max<std::size_t>(std::thread::hardware_concurrency(), 1);
    }();
    return count;
}

std::size_t InferenceThreads::threadsForNextLoop()
{
    const std::size_t limit = threadLimit();
    const std::size_t calls = g_callsInFlight.load(std::memory_order_relaxed);
    const std::size_t others = calls > 1 ? calls - 1 : 0;
    return others >= limit ? 1 : limit - others;
}

std::size_t InferenceThreads::callsInFlight()
{
    return g_callsInFlight.load(std::memory_order_relaxed);
}

} // namespace faciward::platform
