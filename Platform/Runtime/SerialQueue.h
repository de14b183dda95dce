#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace faciward::platform {

/// @brief One worker thread that runs jobs one at a time, in the order given.
///
/// The destructor runs the jobs already queued, then joins the thread.
class SerialQueue
{
public:
    explicit SerialQueue(std::string name);
    ~SerialQueue();
    SerialQueue(const SerialQueue &) = delete;
    SerialQueue &operator=(const SerialQueue &) = delete;

    /// @brief Queues @p job and returns at once. Safe from any thread.
    void async(std::function<void()> job);

    /// @brief Runs @p job on the queue and waits for it. Called from the queue's
    /// own thread it runs inline, so a job may call back into its queue.
    void sync(const std::function<void()> &job);

    /// @brief True when called from a job of this queue.
    bool isCurrent() const;

    const std::string &name() const { return m_name; }

private:
    void run();

    const std::string m_name;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace faciward::platform
