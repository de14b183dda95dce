#pragma once

#include <functional>
#include <utility>

namespace faciward::prefs {

/// @brief A two-way binding to a value: what a view control reads its state from
/// and writes it back to.
template<class V>
class Binding
{
public:
    Binding(std::function<V()> get, std::function<bool(const V &)> set)
        : m_get(std::move(get))
        , m_set(std::move(set))
    {
    }

    /// @brief The bound value now.
    V get() const { return m_get(); }
    /// @brief Writes @p value. @return false when it was not stored.
    bool set(const V &value) const { return m_set(value); }

private:
    std::function<V()> m_get;
    std::function<bool(const V &)> m_set;
};

} // namespace faciward::prefs
