#pragma once

#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QWidget>

#include <optional>

class QVariantAnimation;

namespace faciward::helpers {

/// @brief A window in which the user drags out a rectangle, outlined by a
/// crawling dashed line; on release the screen area under it is signalled
/// (didCaptureImage()), 0.2 s later.
///
/// Without a compositor a translucent window is black on X11, so the window
/// grabs the screen under itself once as it is shown, paints that picture as
/// its own background and crops the selection from it. The outline therefore
/// can never be part of the capture, and the selection is taken in the
/// window's own coordinates, which is where the picture was taken.
class DrawingWindow : public QWidget
{
    Q_OBJECT

public:
    explicit DrawingWindow(const QRect &contentRect, QWidget *parent = nullptr);
    ~DrawingWindow() override;

    /// @brief Where the current drag began, in the window's coordinates.
    std::optional<QPoint> startPoint() const { return m_startPoint; }
    /// @brief The outline of the current drag, normalised; empty without one.
    QRect outline() const { return m_outline.value_or(QRect()); }

    /// @brief The part of the picture taken at show time under @p rect (window
    /// coordinates); null when @p rect is empty or nothing was grabbed. A
    /// subclass may capture otherwise: the release hands its answer over.
    virtual QImage captureImage(const QRect &rect) const;

    void setVisible(bool visible) override;

Q_SIGNALS:
    /// @brief The screen area under the selection, or a null image when there
    /// was no area to capture (a click without a drag, or no screen).
    void didCaptureImage(const QImage &image);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void removeOutline();

    std::optional<QPoint> m_startPoint;
    std::optional<QRect> m_outline;
    QPixmap m_background;
    QVariantAnimation *m_dashPhase;
};

} // namespace faciward::helpers
