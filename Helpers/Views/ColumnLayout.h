#pragma once

#include <QLayout>
#include <QList>

namespace faciward::helpers {

/// @brief Lays its items out top to bottom, each at its preferred size and
/// centred across, with a fixed gap between neighbours that may be negative:
/// a negative gap makes each item overlap the one above it (a later item is
/// drawn over an earlier one). Box layouts replace a negative spacing with
/// the style's, hence this layout.
class ColumnLayout : public QLayout
{
    Q_OBJECT

public:
    explicit ColumnLayout(int gap, QWidget *parent = nullptr);
    ~ColumnLayout() override;

    int gap() const { return m_gap; }

    void addItem(QLayoutItem *item) override;
    int count() const override { return static_cast<int>(m_items.size()); }
    QLayoutItem *itemAt(int index) const override { return m_items.value(index); }
    QLayoutItem *takeAt(int index) override;
    QSize sizeHint() const override;
    QSize minimumSize() const override { return sizeHint(); }
    /// @brief None: the column keeps its items' sizes and leaves spare room to others.
    Qt::Orientations expandingDirections() const override { return {}; }
    void setGeometry(const QRect &rect) override;

private:
    int m_gap;
    QList<QLayoutItem *> m_items;
};

} // namespace faciward::helpers
