#pragma once

#include <QSizeF>
#include <QString>

#include <memory>

class QColor;
class QPainter;
class QRectF;
class QSvgRenderer;

namespace faciward::helpers {

/// @brief One of the toolkit's own symbols, drawn from a small SVG file in the
/// library's resources and tinted with one colour.
///
/// Linux has no system symbols, so the toolkit ships the few it uses, under
/// the names the views ask for: "info.circle", "info.circle.fill",
/// "exclamationmark.triangle" and "xmark.circle.fill". The files are drawn in
/// black; only their shape (alpha) counts, the colour comes from the caller.
/// Main thread only, like every QPainter on a widget.
class Symbol
{
public:
    /// @brief The symbol named @p name; invalid when the toolkit has no such symbol.
    explicit Symbol(const QString &name);
    ~Symbol();
    Symbol(const Symbol &) = default;
    Symbol &operator=(const Symbol &) = default;

    bool isValid() const { return m_renderer != nullptr; }
    const QString &name() const { return m_name; }

    /// @brief The size the symbol is drawn at (device-independent pixels); its
    /// proportions are what counts. Empty for an invalid symbol.
    QSizeF defaultSize() const;

    /// @brief Draws the symbol fitted into @p target with its proportions kept,
    /// centred, in @p tint. Draws nothing when invalid.
    void paint(QPainter &painter, const QRectF &target, const QColor &tint) const;

private:
    QString m_name;
    std::shared_ptr<QSvgRenderer> m_renderer;
};

/// @brief @p natural scaled to fit @p area with its proportions kept, centred in it.
QRectF fittedRect(const QSizeF &natural, const QRectF &area);

} // namespace faciward::helpers
