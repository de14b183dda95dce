#pragma once

#include <QPointer>
#include <QWidget>

class QWindow;

namespace faciward::helpers {

/// @brief A top-level window that can ignore user input for a while.
///
/// While isUserInteractionEnabled() is false the window drops clicks, drags,
/// keys, wheels, tablet, touch and gesture input and context-menu requests at
/// its window handle, before any child widget sees them; its shortcuts do not
/// fire. Plain mouse moves, hover, enter and leave, modifier keys pressed and
/// let go, and every non-input event still pass, so the cursor keeps moving,
/// the modifier state stays true and the window keeps painting. The window has no
/// toolbar, so there is no toolbar command to offer.
class UserInteractionPausableWindow : public QWidget
{
    Q_OBJECT

public:
    explicit UserInteractionPausableWindow(QWidget *parent = nullptr, Qt::WindowFlags flags = {});

    bool isUserInteractionEnabled() const { return m_userInteractionEnabled; }
    /// @brief Takes effect at once, for the next event.
    void setUserInteractionEnabled(bool enabled) { m_userInteractionEnabled = enabled; }

    /// @brief True for the kinds of input a paused window drops.
    static bool isPausedInput(const QEvent &event);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool m_userInteractionEnabled = true;
    // The handle filtered; Qt makes a new one when the window is re-created.
    QPointer<QWindow> m_filtered;
};

} // namespace faciward::helpers
