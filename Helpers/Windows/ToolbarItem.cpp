#include "ToolbarItem.h"

#include "Helpers/Core/ActionText.h"

namespace faciward::helpers {

CustomToolbarItem::CustomToolbarItem(QString identifier, QString label, QString toolTip, QIcon image,
                                     std::function<void()> execute)
    : m_identifier(std::move(identifier))
    , m_label(std::move(label))
    , m_toolTip(std::move(toolTip))
    , m_image(std::move(image))
    , m_execute(std::move(execute))
{
}

QAction *CustomToolbarItem::toolbarItem()
{
    if (!m_action) {
        m_action = std::make_unique<QAction>(m_image, literalActionText(m_label));
        m_action->setObjectName(m_identifier);
        m_action->setToolTip(m_toolTip);
        QObject::connect(m_action.get(), &QAction::triggered, m_action.get(), [this] { m_execute(); });
    }
    return m_action.get();
}

} // namespace faciward::helpers
