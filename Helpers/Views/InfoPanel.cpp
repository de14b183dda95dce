#include "InfoPanel.h"

#include "Helpers/Views/SymbolView.h"

#include <QHBoxLayout>
#include <QPainter>

namespace faciward::helpers {

InfoPanel::InfoPanel(Intent intent, QWidget *content, QWidget *parent)
    : QWidget(parent)
    , m_intent(intent)
    , m_symbol(new SymbolView(symbolName(intent)))
    , m_content(content)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(padding, padding, padding, padding);
    row->setSpacing(spacing);
    row->addWidget(m_symbol, 0, Qt::AlignTop);
    row->addWidget(m_content, 1, Qt::AlignTop);
}

QString InfoPanel::symbolName(Intent intent)
{
    return intent == Intent::Warning ? QStringLiteral("exclamationmark.triangle") : QStringLiteral("info.circle");
}

void InfoPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(cardColour);
    painter.drawRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
}

} // namespace faciward::helpers
