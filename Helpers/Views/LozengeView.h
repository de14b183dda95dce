#pragma once

#include <QAbstractButton>
#include <QMargins>

#include <functional>

namespace faciward::helpers {

class Divider;

/// @brief A short text in a one-pixel capsule outline. With an action it is
/// a link: the link colour, a pointing hand, and a click runs the action once.
/// Without one it is a plain label that ignores clicks.
class LozengeView : public QAbstractButton
{
    Q_OBJECT

public:
    static constexpr int textPixelSize = 18;
    static constexpr QMargins padding{32, 12, 32, 12};

    /// @brief @p text is shown verbatim ('&' is no mnemonic).
    explicit LozengeView(const QString &text, std::function<void()> onTap = {}, QWidget *parent = nullptr);

    const QString &lozengeText() const { return m_text; }
    bool isLink() const { return static_cast<bool>(m_onTap); }

    /// @brief The text's size plus the padding.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
    std::function<void()> m_onTap;
};

/// @brief A lozenge with the connector mark touching its bottom, centred beneath it.
class LozengeViewWithBottomDivider : public QWidget
{
    Q_OBJECT

public:
    explicit LozengeViewWithBottomDivider(const QString &text, std::function<void()> onTap = {},
                                          QWidget *parent = nullptr);

    LozengeView *lozenge() const { return m_lozenge; }
    Divider *divider() const { return m_divider; }

private:
    LozengeView *m_lozenge;
    Divider *m_divider;
};

} // namespace faciward::helpers
