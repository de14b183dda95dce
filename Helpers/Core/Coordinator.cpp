#include "Coordinator.h"

#include "FatalError.h"

#include <algorithm>

namespace faciward::helpers {

void Coordinator::finish()
{
    fatalError("Must be overriden");
}

bool Coordinator::isPopup() const
{
    return false;
}

void Coordinator::addChild(std::shared_ptr<Coordinator> child)
{
    m_children.push_back(std::move(child));
}

bool Coordinator::removeChild(const Coordinator *child)
{
    const auto it = std::find_if(m_children.begin(), m_children.end(),
                                 [child](const auto &listed) { return listed.get() == child; });
    if (it == m_children.end())
        return false;
    m_children.erase(it);
    return true;
}

} // namespace faciward::helpers
