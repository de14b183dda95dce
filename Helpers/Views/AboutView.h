#pragma once

#include "Helpers/Core/Bundle.h"

#include <QWidget>

class QLabel;

namespace faciward::helpers {

class ClippedImage;

/// @brief An about panel's content, centred in a column: the application's
/// icon (a picture of its resources, 100 by 100 with rounded corners and a
/// faint shadow), its name, a version line "1.2 (34)" shown only when both
/// the version and the build number are known, and a copyright line. Monospaced
/// text; the column is `width` wide inside a padding on every edge.
class AboutView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int spacing = 8;
    static constexpr int padding = 16;
    static constexpr QSize iconSize{100, 100};
    static constexpr qreal iconCornerRadius = 24;

    static QString defaultCopyright();

    AboutView(const QString &iconName, const QString &copyright, int width, const Bundle &info = Bundle::main(),
              QWidget *parent = nullptr);
    AboutView(const QString &iconName, int width, const Bundle &info = Bundle::main(),
              QWidget *parent = nullptr);

    ClippedImage *icon() const { return m_icon; }
    /// @brief Null when the bundle has no name.
    QLabel *nameLabel() const { return m_name; }
    /// @brief Null unless both the version and the build number are known.
    QLabel *versionLabel() const { return m_version; }
    QLabel *copyrightLabel() const { return m_copyright; }

private:
    ClippedImage *m_icon;
    QLabel *m_name = nullptr;
    QLabel *m_version = nullptr;
    QLabel *m_copyright;
};

} // namespace faciward::helpers
