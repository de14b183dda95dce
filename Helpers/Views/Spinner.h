#pragma once

#include <QBasicTimer>
#include <QWidget>

namespace faciward::helpers {

/// @brief A small busy indicator: spokes of the foreground colour that turn
/// while the widget is visible. Its timer stops whenever it is hidden, so a
/// hidden spinner costs nothing.
class Spinner : public QWidget
{
    Q_OBJECT

public:
    static constexpr int diameter = 20;

    explicit Spinner(QWidget *parent = nullptr);

    /// @brief Whether the spokes are turning now.
    bool isSpinning() const { return m_timer.isActive(); }

    QSize sizeHint() const override { return {diameter, diameter}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    QBasicTimer m_timer;
    int m_step = 0;
};

} // namespace faciward::helpers
