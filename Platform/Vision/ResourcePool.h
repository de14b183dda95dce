#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace faciward::platform {

/// @brief Objects that are not safe for concurrent use (a network, a detector),
/// handed out one caller at a time and made on demand.
///
/// A caller borrows an object for one use and gives it back when its lease
/// ends; when all are out, a new one is made. The pool therefore grows to the
/// largest number of simultaneous users and no caller ever waits for another.
/// Thread-safe.
template<class T>
class ResourcePool
{
public:
    using Factory = std::function<std::unique_ptr<T>()>;

    /// @brief A borrowed object; returned to the pool when the lease ends.
    class Lease
    {
    public:
        Lease(ResourcePool *pool, std::unique_ptr<T> object)
            : m_pool(pool)
            , m_object(std::move(object))
        {
        }
        Lease(Lease &&) = default;
        Lease &operator=(Lease &&) = delete;
        Lease(const Lease &) = delete;
        ~Lease()
        {
            if (m_object)
                m_pool->giveBack(std::move(m_object));
        }
        T &operator*() const { return *m_object; }
        T *operator->() const { return m_object.get(); }

    private:
        ResourcePool *m_pool;
        std::unique_ptr<T> m_object;
    };

    explicit ResourcePool(Factory factory)
        : m_factory(std::move(factory))
    {
    }

    /// @brief Borrows an idle object, or makes one. Exceptions of the factory pass through.
    Lease acquire()
    {
        {
            std::lock_guard lock(m_mutex);
            if (!m_idle.empty()) {
                auto object = std::move(m_idle.back());
                m_idle.pop_back();
                return Lease(this, std::move(object));
            }
        }
        return Lease(this, m_factory());
    }

    /// @brief Makes objects until @p count are idle, so that the first users do not pay for it.
    void reserve(std::size_t count)
    {
        for (;;) {
            {
                std::lock_guard lock(m_mutex);
                if (m_idle.size() >= count)
                    return;
            }
            giveBack(m_factory());
        }
    }

    std::size_t idleCount() const
    {
        std::lock_guard lock(m_mutex);
        return m_idle.size();
    }

private:
    void giveBack(std::unique_ptr<T> object)
    {
        std::lock_guard lock(m_mutex);
        m_idle.push_back(std::move(object));
    }

    Factory m_factory;
    mutable std::mutex m_mutex;
    std::vector<std::unique_ptr<T>> m_idle;
};

} // namespace faciward::platform
