#include "EventMonitor.h"

namespace faciward::helpers {

EventMonitor::EventMonitor(Qt::MouseButtons mask, Handler handler, std::shared_ptr<GlobalMouseSource> source)
    : m_mask(mask)
    , m_handler(std::move(handler))
    , m_source(std::move(source))
{
}

EventMonitor::~EventMonitor()
{
    stop();
}

void EventMonitor::start()
{
    if (m_monitor || !m_source)
        return;
    m_monitor = m_source->addMonitor(m_mask, m_handler);
}

void EventMonitor::stop()
{
    if (!m_monitor)
        return;
    m_source->removeMonitor(*m_monitor);
    m_monitor.reset();
}

} // namespace faciward::helpers
