#include "ColumnLayout.h"

#include <QWidget>

#include <algorithm>

namespace faciward::helpers {

ColumnLayout::ColumnLayout(int gap, QWidget *parent)
    : QLayout(parent)
    , m_gap(gap)
{
    setContentsMargins(0, 0, 0, 0);
}

ColumnLayout::~ColumnLayout()
{
    while (QLayoutItem *item = takeAt(0))
        delete item;
}

void ColumnLayout::addItem(QLayoutItem *item)
{
    m_items.append(item);
}

QLayoutItem *ColumnLayout::takeAt(int index)
{
    return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
}

QSize ColumnLayout::sizeHint() const
{
    QSize total(0, 0);
    int shown = 0;
    for (QLayoutItem *item : m_items) {
        if (item->isEmpty())
            continue;
        const QSize size = item->sizeHint();
        total.setWidth(std::max(total.width(), size.width()));
        total.setHeight(total.height() + size.height() + (shown++ ? m_gap : 0));
    }
    const QMargins margins = contentsMargins();
    return total.grownBy(margins);
}

void ColumnLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    const QRect area = contentsRect();
    int y = area.top();
    for (QLayoutItem *item : m_items) {
        if (item->isEmpty())
            continue;
        const QSize size = item->sizeHint().boundedTo(QSize(area.width(), QWIDGETSIZE_MAX));
        item->setGeometry(QRect(area.left() + (area.width() - size.width()) / 2, y, size.width(), size.height()));
        y += size.height() + m_gap;
    }
}

} // namespace faciward::helpers
