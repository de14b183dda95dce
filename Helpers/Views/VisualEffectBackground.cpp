#include "VisualEffectBackground.h"

#include <QEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

namespace faciward::helpers {

namespace {

struct Tint
{
    QPalette::ColorRole role;
    qreal opacity; // over the window's own content
};

Tint tintOf(VisualEffectBackground::Material material)
{
    using M = VisualEffectBackground::Material;
    switch (material) {
    case M::Selection:
        return {QPalette::Highlight, 0.6};
    case M::Menu:
    case M::Popover:
    case M::ToolTip:
        return {QPalette::Base, 0.85};
    case M::Sidebar:
    case M::HeaderView:
        return {QPalette::Button, 0.7};
    case M::HudWindow:
    case M::FullScreenUI:
        return {QPalette::Shadow, 0.75};
    case M::ContentBackground:
        return {QPalette::Base, 1.0};
    case M::Titlebar:
    case M::Sheet:
    case M::WindowBackground:
    case M::UnderWindowBackground:
    case M::UnderPageBackground:
        break;
    }
    return {QPalette::Window, 0.8};
}

} // namespace

VisualEffectBackground::VisualEffectBackground(Material material, BlendingMode blendingMode, bool isEmphasized,
                                               QWidget *parent)
    : QWidget(parent)
    , m_material(material)
    , m_blendingMode(blendingMode)
    , m_isEmphasized(isEmphasized)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    if (parent) {
        parent->installEventFilter(this);
        setGeometry(parent->rect());
        lower();
        // A child made after its parent was shown stays hidden until shown itself.
        show();
    }
}

void VisualEffectBackground::setValues(Material material, BlendingMode blendingMode, bool isEmphasized)
{
    m_material = material;
    m_blendingMode = blendingMode;
    m_isEmphasized = isEmphasized;
    update();
}

QColor VisualEffectBackground::tint() const
{
    const Tint tint = tintOf(m_material);
    QColor colour = palette().color(tint.role);
    // Behind the window there is nothing a window without a compositor can show.
    const qreal opacity = m_blendingMode == BlendingMode::BehindWindow ? 1.0 : tint.opacity;
    colour.setAlphaF(std::min(1.0, opacity + (m_isEmphasized ? 0.15 : 0.0)));
    return colour;
}

QWidget *VisualEffectBackground::putBehind(QWidget *view, Material material, BlendingMode blendingMode,
                                           bool isEmphasized)
{
    auto *holder = new QWidget;
    auto *layout = new QVBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    new VisualEffectBackground(material, blendingMode, isEmphasized, holder);
    return holder;
}

bool VisualEffectBackground::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void VisualEffectBackground::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), tint());
}

} // namespace faciward::helpers
