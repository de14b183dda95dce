#pragma once

#include <QWidget>

namespace faciward::helpers {

/// @brief A background in one of the desktop's materials, behind the content
/// of its parent widget and following the parent's size.
///
/// Without a compositor nothing behind a window can be shown or blurred, so a
/// material is a tint of a palette colour: opaque when it blends with what is
/// behind the window, translucent over the window's own content, a little
/// stronger when emphasized.
class VisualEffectBackground : public QWidget
{
    Q_OBJECT

public:
    enum class Material
    {
        Titlebar,
        Selection,
        Menu,
        Popover,
        Sidebar,
        HeaderView,
        Sheet,
        WindowBackground,
        HudWindow,
        FullScreenUI,
        ToolTip,
        ContentBackground,
        UnderWindowBackground,
        UnderPageBackground,
    };
    enum class BlendingMode
    {
        BehindWindow,
        WithinWindow,
    };

    /// @brief A background of @p parent, sized to it and kept below its other children.
    VisualEffectBackground(Material material, BlendingMode blendingMode, bool isEmphasized, QWidget *parent);

    /// @brief Sets the material, then the blending, then the emphasis, and
    /// repaints this same widget.
    void setValues(Material material, BlendingMode blendingMode, bool isEmphasized);

    Material material() const { return m_material; }
    BlendingMode blendingMode() const { return m_blendingMode; }
    bool isEmphasized() const { return m_isEmphasized; }

    /// @brief The colour drawn for the current values.
    QColor tint() const;

    /// @brief Puts @p view in front of a new background of its size: returns
    /// the holder that now contains both, to be placed where @p view was meant to go.
    static QWidget *putBehind(QWidget *view, Material material, BlendingMode blendingMode, bool isEmphasized);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    Material m_material;
    BlendingMode m_blendingMode;
    bool m_isEmphasized;
};

} // namespace faciward::helpers
