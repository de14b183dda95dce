#pragma once

#include "Helpers/Panels/FloatingPanelViewModel.h"

#include <QPoint>
#include <QWidget>

#include <functional>
#include <memory>

class QMimeData;

namespace faciward::helpers {

/// @brief A picture card with a close button and a caption that invites the
/// user to drag the picture out. A click on the close button, or the start of a
/// drag, asks the owner to remove the card through `onRemove`.
///
/// Inside a parent the card casts a shadow (a graphics effect) beyond its own
/// rectangle: its window shows it where there is room and a compositor.
class FloatingPanelView : public QWidget
{
    Q_OBJECT

public:
    /// @brief Runs the drag of the picture's file; the default starts a QDrag.
    using DragStarter = std::function<void(std::unique_ptr<QMimeData>)>;

    FloatingPanelView(FloatingPanelViewModel viewModel, int cornerRadius, std::function<void()> onRemove,
                      QWidget *parent = nullptr);

    void setDragStarter(DragStarter starter) { m_dragStarter = std::move(starter); }

    /// @brief The close button's place, pinned to the card's top left corner.
    static constexpr QRect closeButtonRect{14, 10, 28, 28};
    /// @brief The card's shadow: blur radius and offset (device-independent
    /// pixels), black at 0.33 opacity.
    static constexpr qreal shadowRadius = 2;
    static constexpr QPointF shadowOffset{2, 2};
    static constexpr qreal shadowOpacity = 0.33;
    /// @brief The caption's font size and its capsule's largest corner radius
    /// (device-independent pixels); a one-line caption is rounded at half its height.
    static constexpr int captionPixelSize = 10;
    static constexpr qreal captionRadius = 20;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void beginDrag();
    void castShadowInParent();

    FloatingPanelViewModel m_viewModel;
    ClippedImage *m_picture = nullptr;
    int m_cornerRadius;
    std::function<void()> m_onRemove;
    DragStarter m_dragStarter;
    QPoint m_pressedAt;
    bool m_pressed = false;
};

} // namespace faciward::helpers
