#include "TitleStrip.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <QWindow>

namespace faciward::helpers {

TitleStrip::TitleStrip(QWidget *parent)
    : QWidget(parent)
    , m_title(new QLabel(this))
{
    setFixedHeight(height);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 0, 4, 0);
    layout->setSpacing(2);
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setTextFormat(Qt::PlainText);
    // A hidden title still takes the middle: the buttons stay at the end.
    QSizePolicy policy = m_title->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    m_title->setSizePolicy(policy);
    layout->addWidget(m_title, 1);
    for (const WindowButton kind : {WindowButton::Miniaturize, WindowButton::Zoom, WindowButton::Close}) {
        auto *button = new QToolButton(this);
        button->setAutoRaise(true);
        button->setIconSize(QSize(kGlyphSize, kGlyphSize));
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QToolButton::clicked, this, [this, kind] { Q_EMIT buttonClicked(kind); });
        layout->addWidget(button);
        m_buttons.emplace(kind, button);
    }
    drawGlyphs();
}

void TitleStrip::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        drawGlyphs();
    QWidget::changeEvent(event);
}

// The style's title-bar pixmaps are drawn for one scheme (Fusion's zoom glyph
// is black on any background): these follow the palette's text colour.
void TitleStrip::drawGlyphs()
{
    const QColor ink = palette().color(QPalette::WindowText);
    for (const auto &[kind, button] : m_buttons) {
        const qreal ratio = devicePixelRatioF();
        QPixmap pixmap(QSize(kGlyphSize, kGlyphSize) * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(ink, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const QRectF box(3.5, 3.5, kGlyphSize - 7, kGlyphSize - 7);
        switch (kind) {
        case WindowButton::Miniaturize:
            // On a pixel's middle, so that the line is sharp rather than two half rows.
            painter.drawLine(QPointF(box.left(), kGlyphSize / 2 + 0.5), QPointF(box.right(), kGlyphSize / 2 + 0.5));
            break;
        case WindowButton::Zoom:
            painter.drawRect(box);
            break;
        case WindowButton::Close:
            painter.drawLine(box.topLeft(), box.bottomRight());
            painter.drawLine(box.topRight(), box.bottomLeft());
            break;
        }
        painter.end();
        button->setIcon(QIcon(pixmap));
    }
}

void TitleStrip::setTitle(const QString &title)
{
    m_title->setText(title);
}

bool TitleStrip::isTitleShown() const
{
    return !m_title->isHidden();
}

void TitleStrip::setTitleShown(bool shown)
{
    m_title->setVisible(shown);
}

void TitleStrip::setButtons(const std::set<WindowButton> &buttons)
{
    for (const auto &[kind, button] : m_buttons)
        button->setVisible(buttons.count(kind) > 0);
}

QToolButton *TitleStrip::button(WindowButton type) const
{
    QToolButton *button = m_buttons.at(type);
    return button->isHidden() ? nullptr : button;
}

void TitleStrip::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    QWindow *handle = window()->windowHandle();
    if (handle && handle->startSystemMove())
        return;
    m_dragOffset = event->globalPosition().toPoint() - window()->pos();
}

void TitleStrip::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragOffset)
        window()->move(event->globalPosition().toPoint() - *m_dragOffset);
}

void TitleStrip::mouseReleaseEvent(QMouseEvent *)
{
    m_dragOffset.reset();
}

} // namespace faciward::helpers
