#include "FloatingPanelView.h"

#include "Helpers/Views/Symbol.h"

#include <QApplication>
#include <QDrag>
#include <QFileInfo>
#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>

namespace faciward::helpers {

namespace {
constexpr int pictureInset = 8;
constexpr int pictureRadius = 20;
constexpr int captionBottomMargin = 8;
constexpr int captionPixelSize = 10;

QIcon whiteSymbol(const QString &name, QSize size)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    Symbol(name).paint(painter, QRectF(QPointF(0, 0), QSizeF(size)), Qt::white);
    return QIcon(pixmap);
}
} // namespace

FloatingPanelView::FloatingPanelView(FloatingPanelViewModel viewModel, int cornerRadius,
                                     std::function<void()> onRemove, QWidget *parent)
    : QWidget(parent)
    , m_viewModel(std::move(viewModel))
    , m_cornerRadius(cornerRadius)
    , m_onRemove(std::move(onRemove))
    , m_dragStarter([this](std::unique_ptr<QMimeData> data) {
        // The panel is already on its way out (deleteLater): the drag's own
        // loop does not delete it, so it may stay the drag's source.
        auto *drag = new QDrag(this);
        drag->setMimeData(data.release());
        drag->exec(Qt::CopyAction);
    })
{
    setFixedSize(m_viewModel.size);

    m_picture = new ClippedImage(m_viewModel.clippedImageIntent, this);
    m_picture->setGeometry(rect().adjusted(pictureInset, pictureInset, -pictureInset, -pictureInset));
    m_picture->setCornerRadius(pictureRadius);
    m_picture->installEventFilter(this);

    auto *close = new QToolButton(this);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setAutoRaise(true);
    close->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 1px; background: transparent; }"));
    close->setIcon(whiteSymbol(QStringLiteral("xmark.circle.fill"), QSize(26, 26)));
    close->setIconSize(QSize(26, 26));
    close->setGeometry(closeButtonRect);
    auto *glow = new QGraphicsDropShadowEffect(close);
    glow->setBlurRadius(4);
    glow->setOffset(0, 0);
    glow->setColor(QColor(0, 0, 0, 84));
    close->setGraphicsEffect(glow);
    connect(close, &QToolButton::clicked, this, [this] { m_onRemove(); });

    auto *caption = new QLabel(tr("Drag and Drop the image"), this);
    caption->setObjectName(QStringLiteral("caption"));
    QFont font = caption->font();
    font.setPixelSize(captionPixelSize);
    caption->setFont(font);
    caption->setAlignment(Qt::AlignCenter);
    caption->setStyleSheet(QStringLiteral("QLabel { color: white; background: rgba(0, 0, 0, 204);"
                                          " border-radius: %1px; padding: 2px 10px; }")
                               .arg(pictureRadius / 2));
    caption->setMaximumWidth(width() - 2 * pictureInset);
    caption->adjustSize();
    caption->move((width() - caption->width()) / 2, height() - captionBottomMargin - caption->height());
}

void FloatingPanelView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(QPalette::WindowText));
    painter.drawRoundedRect(rect(), m_cornerRadius, m_cornerRadius);
}

bool FloatingPanelView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        // Only the picture starts a drag, not the empty card beside it.
        const auto *press = static_cast<QMouseEvent *>(event);
        m_pressed = press->button() == Qt::LeftButton && m_picture->drawnRect().contains(press->position());
        m_pressedAt = press->position().toPoint();
    } else if (event->type() == QEvent::MouseButtonRelease) {
        m_pressed = false;
    } else if (event->type() == QEvent::MouseMove && m_pressed) {
        const QPoint at = static_cast<QMouseEvent *>(event)->position().toPoint();
        if ((at - m_pressedAt).manhattanLength() >= QApplication::startDragDistance()) {
            m_pressed = false;
            beginDrag();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FloatingPanelView::beginDrag()
{
    // The panel goes as the drag begins, before anything is read.
    m_onRemove();
    const QString file = m_viewModel.imageURL.toLocalFile();
    if (file.isEmpty() || !QFileInfo(file).isFile())
        return; // nothing to hand over: the panel is gone and no drag starts
    auto data = std::make_unique<QMimeData>();
    data->setUrls({m_viewModel.imageURL});
    m_dragStarter(std::move(data));
}

} // namespace faciward::helpers
