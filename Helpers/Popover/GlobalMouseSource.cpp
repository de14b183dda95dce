#include "GlobalMouseSource.h"

#include "ApplicationInactiveMouseSource.h"
#include "X11MouseSource.h"

#include <QGuiApplication>

#include <cstdio>
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

std::shared_ptr<GlobalMouseSource> systemMouseSource()
{
    static const std::shared_ptr<GlobalMouseSource> source = [] {
        std::shared_ptr<GlobalMouseSource> chosen;
        if (QGuiApplication::platformName() == QStringLiteral("xcb"))
            chosen = X11MouseSource::open();
        if (!chosen)
            chosen = std::make_shared<ApplicationInactiveMouseSource>();
        std::fprintf(stderr, "outside clicks: using %s\n", chosen->name().c_str());
        return chosen;
    }();
    return source;
}

} // namespace faciward::helpers
