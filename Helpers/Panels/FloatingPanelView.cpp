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
#include <QtMath>

#include <algorithm>

namespace faciward::helpers {

namespace {
constexpr int pictureInset = 8;
constexpr int pictureRadius = 20;
constexpr int captionBottomMargin = 8;
constexpr QMargins captionPadding(10, 2, 10, 2);
constexpr int closeButtonPadding = 1;
const QColor captionBackground(0, 0, 0, 204);

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

/// The caption: white text on a dark capsule, wrapped rather than cut when a
/// translation is longer than the card is wide. A style sheet cannot draw the
/// capsule: Qt ignores a border radius larger than half the label's height,
/// and a one-line caption is far lower than twice the radius.
class FloatingPanelCaption : public QLabel
{
    Q_OBJECT

public:
    FloatingPanelCaption(const QString &text, QWidget *parent)
        : QLabel(text, parent)
    {
        QFont font = this->font();
        font.setPixelSize(FloatingPanelView::captionPixelSize);
        setFont(font);
        QPalette palette = this->palette();
        palette.setColor(QPalette::WindowText, Qt::white);
        setPalette(palette);
        setTextFormat(Qt::PlainText);
        setAlignment(Qt::AlignCenter);
        setWordWrap(true);
        setContentsMargins(captionPadding);
    }

    /// Centred at the bottom of @p card: as wide as its text on one line,
    /// but no wider than @p widest, and as high as the wrapped text needs.
    void place(const QRect &card, int widest)
    {
        const int oneLine = qCeil(QFontMetricsF(font()).horizontalAdvance(text())) + captionPadding.left() +
                            captionPadding.right() + 1;
        const int width = std::min(oneLine, widest);
        const int height = heightForWidth(width);
        setGeometry(card.left() + (card.width() - width) / 2, card.bottom() + 1 - captionBottomMargin - height, width,
                    height);
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        {
            QPainter painter(this);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            painter.setBrush(captionBackground);
            const qreal radius = std::min(FloatingPanelView::captionRadius, height() / 2.0);
            painter.drawRoundedRect(QRectF(rect()), radius, radius);
        }
        QLabel::paintEvent(event);
    }
};

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
    m_picture->setCornerRadius(pictureRadius, ClippedImage::Rounding::DrawnPicture);
    m_picture->installEventFilter(this);

    auto *close = new QToolButton(this);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setAutoRaise(true);
    close->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: %1px; background: transparent; }")
                             .arg(closeButtonPadding));
    auto *caption = new FloatingPanelCaption(tr("Drag and Drop the image"), this);
    caption->setObjectName(QStringLiteral("caption"));
    // The symbol is as large as a line of the caption's text, in its 28x28 frame.
    const int symbol = QFontMetrics(caption->font()).height();
    close->setIcon(whiteSymbol(QStringLiteral("xmark.circle.fill"), QSize(symbol, symbol)));
    close->setIconSize(QSize(symbol, symbol));
    close->setGeometry(closeButtonRect);
    auto *glow = new QGraphicsDropShadowEffect(close);
    glow->setBlurRadius(4);
    glow->setOffset(0, 0);
    glow->setColor(QColor(0, 0, 0, 84));
    close->setGraphicsEffect(glow);
    connect(close, &QToolButton::clicked, this, [this] { m_onRemove(); });

    caption->raise();
    caption->place(rect(), width() - 2 * pictureInset);
    castShadowInParent();
}

void FloatingPanelView::castShadowInParent()
{
    // Qt draws no graphics effect on a window of its own, and a window could
    // not show a shadow beyond itself anyway: the card casts it inside a parent.
    if (!parentWidget() || graphicsEffect())
        return;
    auto *shadow = new QGraphicsDropShadowEffect(this);
    shadow->setBlurRadius(shadowRadius);
    shadow->setOffset(shadowOffset);
    shadow->setColor(QColor::fromRgbF(0, 0, 0, shadowOpacity));
    setGraphicsEffect(shadow);
}

void FloatingPanelView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ParentChange)
        castShadowInParent();
    QWidget::changeEvent(event);
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

#include "FloatingPanelView.moc"

