#include "TargetAction.h"

#include <QAction>

namespace faciward::helpers {

TargetAction::TargetAction(QAction &action, std::function<void()> execute)
    : QObject(&action)
    , m_execute(std::move(execute))
{
    QObject::connect(&action, &QAction::triggered, this, &TargetAction::target);
}

void TargetAction::target()
{
    const auto execute = m_execute; // the object may be deleted while this runs
    if (execute)
        execute();
}

} // namespace faciward::helpers
