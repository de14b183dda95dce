#pragma once

#include "Platform/Idle/IdleTimeSource.h"

#include <optional>

namespace faciward::testing {

/// @brief An idle-time source for tests: the answer it was told (nullopt: unknown),
/// counting how often it was asked.
class FakeIdleTimeSource final : public platform::IdleTimeSource
{
public:
    explicit FakeIdleTimeSource(std::optional<Seconds> idle = std::nullopt)
        : m_idle(idle)
    {
    }

    void setIdleTime(double seconds) { m_idle = Seconds(seconds); }
    void setAvailable(bool available) { m_available = available; }
    void setName(std::string name) { m_name = std::move(name); }
    /// @brief How many times `idleTime()` was asked.
    int queries() const { return m_queries; }

    std::string name() const override { return m_name; }
    bool isAvailable() override { return m_available; }
    std::optional<Seconds> idleTime() override
    {
        ++m_queries;
        return m_idle;
    }

private:
    std::optional<Seconds> m_idle;
    bool m_available = true;
    std::string m_name = "fake idle time";
    int m_queries = 0;
};

} // namespace faciward::testing
