#pragma once

#include <QWidget>

namespace faciward::helpers {

/// @brief A connector mark: a thin vertical stem over a dot, with no gap, in
/// the foreground colour. It never stretches: 8 by 28 pixels whatever space
/// it is offered. (Not a divider line: the name is the mark's own.)
class Divider : public QWidget
{
    Q_OBJECT

public:
    static constexpr QSize markSize{8, 28};
    static constexpr QSize stemSize{1, 20};
    static constexpr int dotDiameter = 8;

    explicit Divider(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace faciward::helpers
