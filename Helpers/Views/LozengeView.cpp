#include "LozengeView.h"

#include "Helpers/Views/Divider.h"

#include <QPainter>
#include <QVBoxLayout>

namespace faciward::helpers {

LozengeView::LozengeView(const QString &text, std::function<void()> onTap, QWidget *parent)
    : QAbstractButton(parent)
    , m_text(text)
    , m_onTap(std::move(onTap))
{
    // The text is kept apart from QAbstractButton's, which would turn '&' into a shortcut.
    setAccessibleName(text);
    QFont textFont = font();
    textFont.setPixelSize(textPixelSize);
    setFont(textFont);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    if (m_onTap) {
        setCursor(Qt::PointingHandCursor);
        connect(this, &QAbstractButton::clicked, this, [this] { m_onTap(); });
    } else {
        setFocusPolicy(Qt::NoFocus);
    }
}

QSize LozengeView::sizeHint() const
{
    const QSize text = fontMetrics().size(Qt::TextSingleLine, m_text);
    return text.grownBy(padding);
}

void LozengeView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(foregroundRole()), 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    const QRectF outline = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = outline.height() / 2;
    painter.drawRoundedRect(outline, radius, radius);

    QColor text = isLink() ? palette().color(QPalette::Link) : palette().color(foregroundRole());
    if (isLink() && isDown())
        text.setAlphaF(0.6);
    painter.setPen(text);
    painter.drawText(rect().marginsRemoved(padding), Qt::AlignCenter | Qt::TextSingleLine, m_text);
}

LozengeViewWithBottomDivider::LozengeViewWithBottomDivider(const QString &text, std::function<void()> onTap,
                                                           QWidget *parent)
    : QWidget(parent)
    , m_lozenge(new LozengeView(text, std::move(onTap)))
    , m_divider(new Divider)
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_lozenge, 0, Qt::AlignHCenter);
    column->addWidget(m_divider, 0, Qt::AlignHCenter);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

} // namespace faciward::helpers
