#pragma once

#include <QWidget>

namespace faciward::helpers {

/// @brief A borderless window that floats above ordinary windows, on every
/// desktop, and never takes the focus: not when it appears, not when clicked.
///
/// Where a compositor runs, the window is translucent and leaves room around
/// its content for what the content's graphics effect draws beyond it (the
/// card's shadow). Without one a translucent corner would be black, so the
/// window is exactly as large as its content and cut to @p cornerRadius; the
/// shadow is not drawn then.
class FloatingPanel : public QWidget
{
    Q_OBJECT

public:
    FloatingPanel(QWidget *content, int cornerRadius);

    /// @brief Moves the window so that its content's top left corner is at
    /// @p topLeft (global coordinates).
    void moveContentTo(QPoint topLeft);
    /// @brief The content's place in global coordinates.
    QRect contentGeometry() const;

    void setVisible(bool visible) override;

private:
    QWidget *m_content;
    QMargins m_room;
};

} // namespace faciward::helpers
