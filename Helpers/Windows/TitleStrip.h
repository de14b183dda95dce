#pragma once

#include "WindowConfiguration.h"

#include <QWidget>

#include <functional>
#include <map>
#include <optional>
#include <set>

class QLabel;
class QToolButton;

namespace faciward::helpers {

/// @brief The title bar a frameless window draws itself: its title, its
/// buttons and a surface to drag the window by.
///
/// Dragging asks the window manager to move the window; where there is none to
/// ask, the strip moves the window itself.
class TitleStrip : public QWidget
{
    Q_OBJECT
public:
    static constexpr int height = 28;
    /// @brief The side of the buttons' glyphs, in pixels.
    static constexpr int kGlyphSize = 16;

    explicit TitleStrip(QWidget *parent = nullptr);

    void setTitle(const QString &title);
    void setTitleShown(bool shown);
    bool isTitleShown() const;
    void setButtons(const std::set<WindowButton> &buttons);
    /// @brief The button of @p type, when the strip shows it.
    QToolButton *button(WindowButton type) const;

Q_SIGNALS:
    void buttonClicked(WindowButton button);

protected:
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void drawGlyphs();

    QLabel *m_title;
    std::map<WindowButton, QToolButton *> m_buttons;
    std::optional<QPoint> m_dragOffset;
};

} // namespace faciward::helpers
