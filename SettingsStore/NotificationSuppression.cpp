#include "NotificationSuppression.h"

namespace faciward::prefs {

namespace {
thread_local bool t_suppressed = false;
}

NotificationSuppression::NotificationSuppression()
    : m_previous(t_suppressed)
{
    t_suppressed = true;
}

NotificationSuppression::~NotificationSuppression()
{
    t_suppressed = m_previous;
}

bool NotificationSuppression::isActive()
{
    return t_suppressed;
}

} // namespace faciward::prefs
