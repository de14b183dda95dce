#pragma once

#include <QColor>
#include <QWidget>

namespace faciward::helpers {

class SymbolView;

/// @brief An explanatory note on a light grey rounded card: an info or a
/// warning symbol at the top left, one line of the font high and in the text
/// colour, with any content beside it. The card takes whatever size it is given.
class InfoPanel : public QWidget
{
    Q_OBJECT

public:
    /// @brief Only the symbol differs between the two; the card is the same.
    enum class Intent
    {
        Info,
        Warning,
    };

    static constexpr qreal cornerRadius = 8;
    /// @brief Around the row of symbol and content, and between the two.
    static constexpr int padding = 8;
    static constexpr int spacing = 8;
    /// @brief The system grey at 20 % opacity.
    static constexpr QColor cardColour{142, 142, 147, 51};

    /// @brief A card for @p content, which it takes over as a child.
    InfoPanel(Intent intent, QWidget *content, QWidget *parent = nullptr);

    Intent intent() const { return m_intent; }
    SymbolView *symbol() const { return m_symbol; }
    QWidget *content() const { return m_content; }

    /// @brief The symbol's name for @p intent.
    static QString symbolName(Intent intent);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Intent m_intent;
    SymbolView *m_symbol;
    QWidget *m_content;
};

} // namespace faciward::helpers
