#pragma once

#include "PopoverWindow.h"

#include "Helpers/Views/Symbol.h"

#include <QAbstractButton>

#include <memory>

namespace faciward::helpers {

/// @brief A small filled info symbol that shows a popover of explanatory
/// content below itself on a click, and hides it on the next.
///
/// The popover is transient: a click anywhere else dismisses it, and the
/// button's state follows (isOpen() turns false), so the next click opens it
/// again. A click on the button itself while it is open only closes it.
class PopupInfoButton : public QAbstractButton
{
    Q_OBJECT
public:
    /// @brief Side of the symbol, whatever the surrounding font, in device-independent pixels.
    static constexpr int side = 18;

    /// @brief The button takes ownership of @p popupContent.
    explicit PopupInfoButton(QWidget *popupContent, QWidget *parent = nullptr);
    ~PopupInfoButton() override;

    /// @brief Whether the popover is shown.
    bool isOpen() const { return m_open; }
    PopoverWindow &popover() { return *m_popover; }

    QSize sizeHint() const override { return QSize(side, side); }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void toggle();

    std::unique_ptr<PopoverWindow> m_popover;
    Symbol m_symbol;
    bool m_open = false;
};

} // namespace faciward::helpers
