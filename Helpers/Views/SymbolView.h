#pragma once

#include "Helpers/Views/Symbol.h"

#include <QWidget>

namespace faciward::helpers {

/// @brief Shows one of the toolkit's symbols as tall as a line of its font,
/// in the palette's foreground colour (the text colour, unless a caller
/// changes the widget's palette). The symbol keeps its proportions and is
/// centred in whatever size the widget is given.
class SymbolView : public QWidget
{
    Q_OBJECT

public:
    explicit SymbolView(const QString &name, QWidget *parent = nullptr);

    const Symbol &symbol() const { return m_symbol; }

    /// @brief One line of the font high, as wide as the symbol's proportions say.
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    Symbol m_symbol;
};

} // namespace faciward::helpers
