#pragma once

#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>

#include <optional>

namespace faciward::helpers {

/// @brief A popover: a rounded body with an arrow that points at an anchor,
/// holding one content widget. Without a compositor its shape comes from a mask.
///
/// A persistent popover is a frameless, stay-on-top tool window rather than a
/// Qt::Popup: a popup grabs the pointer and closes itself on Escape and on any
/// click elsewhere, even in the application's own windows, and its owner would
/// never learn of it. It closes only when its owner closes it; outside clicks
/// are the EventMonitor's business. A transient popover is a Qt::Popup, for
/// small explanations that any click elsewhere may dismiss.
class PopoverWindow : public QWidget
{
    Q_OBJECT
public:
    /// @brief Size of the arrow, base and height, and the body's corner radius and
    /// inner margin, in device-independent pixels.
    static constexpr int arrowWidth = 20;
    static constexpr int arrowHeight = 10;
    static constexpr int cornerRadius = 8;
    static constexpr int margin = 6;

    enum class Behaviour { Persistent, Transient };

    explicit PopoverWindow(Behaviour behaviour = Behaviour::Persistent);

    /// @brief Puts @p content in the body (the window takes ownership); the
    /// former content is deleted.
    void setContentWidget(QWidget *content);
    QWidget *contentWidget() const { return m_content; }

    /// @brief The size of the content area; until it is set, the content's own
    /// size hint is used. May be changed while shown.
    void setContentSize(const QSize &size);
    QSize contentSize() const;

    /// @brief Where the window goes relative to its anchor: below an anchor in
    /// the upper half of its screen and above one in the lower half (a panel at
    /// the bottom), or below unless there is no room there.
    enum class Placement { ByScreenHalf, Below };

    /// @brief Shows the window by @p anchor (global coordinates) with its arrow
    /// pointing at the anchor's centre, and keeps the window on that screen.
    void showRelativeTo(const QRect &anchor, Placement placement = Placement::ByScreenHalf);

    /// @brief The arrow's tip in global coordinates, while shown.
    QPoint arrowTip() const;
    /// @brief Whether the window hangs below its anchor (arrow on the top edge).
    bool opensBelow() const { return m_below; }

Q_SIGNALS:
    /// @brief The application hid the window: its owner, a subclass, or Qt
    /// closing a transient popover. A hide the window manager makes (a
    /// minimise, "show desktop") is not reported: the window comes back when
    /// the desktop is restored, and whatever runs while it is shown must go on.
    void hidden();

protected:
    void paintEvent(QPaintEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void place();
    QPainterPath shape() const;

    QPointer<QWidget> m_content;
    std::optional<QSize> m_contentSize;
    QRect m_anchor;
    Placement m_placement = Placement::ByScreenHalf;
    bool m_below = true;
    int m_arrowX = 0;
};

} // namespace faciward::helpers
