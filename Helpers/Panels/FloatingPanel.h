#pragma once

#include <QWidget>

namespace faciward::helpers {

/// @brief A borderless window that floats above ordinary windows, on every
/// desktop, and never takes the focus: not when it appears, not when clicked. It is as large as
/// its content and cut to @p cornerRadius, since without a compositor a
/// translucent corner would be black.
class FloatingPanel : public QWidget
{
public:
    FloatingPanel(QWidget *content, int cornerRadius);

    void setVisible(bool visible) override;

private:
    void stickToEveryDesktop();
};

} // namespace faciward::helpers
