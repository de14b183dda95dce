#include "TitleStrip.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QStyle>
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
    layout->addWidget(m_title, 1);
    const std::pair<WindowButton, QStyle::StandardPixmap> kinds[] = {
        {WindowButton::Miniaturize, QStyle::SP_TitleBarMinButton},
        {WindowButton::Zoom, QStyle::SP_TitleBarMaxButton},
        {WindowButton::Close, QStyle::SP_TitleBarCloseButton},
    };
    for (const auto &[kind, pixmap] : kinds) {
        auto *button = new QToolButton(this);
        button->setAutoRaise(true);
        button->setIcon(style()->standardIcon(pixmap));
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QToolButton::clicked, this, [this, kind = kind] { Q_EMIT buttonClicked(kind); });
        layout->addWidget(button);
        m_buttons.emplace(kind, button);
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
