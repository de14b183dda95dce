#include "GlobalMouseSource.h"

#include <vector>

namespace faciward::helpers {

GlobalMouseSource::Token GlobalMouseSource::addMonitor(Qt::MouseButtons mask, Handler handler)
{
    const Token token = m_next++;
    m_monitors.emplace(token, Monitor{mask, std::move(handler)});
    if (m_monitors.size() == 1)
        watch(true);
    return token;
}

void GlobalMouseSource::removeMonitor(Token token)
{
    if (m_monitors.erase(token) && m_monitors.empty())
        watch(false);
}

void GlobalMouseSource::dispatch(Qt::MouseButton button)
{
    // A handler may add or remove monitors; call copies.
    std::vector<Handler> handlers;
    for (const auto &[token, monitor] : m_monitors)
        if (monitor.mask & button)
            handlers.push_back(monitor.handler);
    for (const auto &handler : handlers)
        handler(button);
}

} // namespace faciward::helpers
