#include "SymbolView.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

#include <cmath>

namespace faciward::helpers {

SymbolView::SymbolView(const QString &name, QWidget *parent)
    : QWidget(parent)
    , m_symbol(name)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize SymbolView::sizeHint() const
{
    const int height = QFontMetrics(font()).height();
    const QSizeF natural = m_symbol.defaultSize();
    if (natural.isEmpty())
        return {height, height};
    return {static_cast<int>(std::lround(height * natural.width() / natural.height())), height};
}

void SymbolView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    m_symbol.paint(painter, rect(), palette().color(foregroundRole()));
}

void SymbolView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange)
        updateGeometry();
    QWidget::changeEvent(event);
}

} // namespace faciward::helpers
