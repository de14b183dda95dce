#include "AboutView.h"

#include "Helpers/Views/ClippedImage.h"

#include <QFontDatabase>
#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QVBoxLayout>

namespace faciward::helpers {

namespace {

QFont monospaced(int pixelSize, QFont::Weight weight = QFont::Normal)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

} // namespace

QString AboutView::defaultCopyright()
{
    return tr("Copyright © the Faciward authors");
}

AboutView::AboutView(const QString &iconName, int width, const Bundle &info, QWidget *parent)
    : AboutView(iconName, defaultCopyright(), width, info, parent)
{
}

AboutView::AboutView(const QString &iconName, const QString &copyright, int width, const Bundle &info,
                     QWidget *parent)
    : QWidget(parent)
    , m_icon(new ClippedImage(ClippedImage::Named{iconName}))
{
    setFont(monospaced(14));
    setFixedWidth(width + 2 * padding);
    auto *column = new QVBoxLayout(this);
    column->setSpacing(spacing);
    column->setContentsMargins(padding, padding, padding, padding);

    m_icon->setFixedSize(iconSize);
    m_icon->setCornerRadius(iconCornerRadius);
    auto *shadow = new QGraphicsDropShadowEffect(m_icon);
    shadow->setColor(QColor(0, 0, 0, 84)); // black at 0.33
    shadow->setBlurRadius(2);
    shadow->setOffset(0, 0);
    m_icon->setGraphicsEffect(shadow);
    column->addWidget(m_icon, 0, Qt::AlignHCenter);

    auto line = [column](const QString &text) {
        auto *label = new QLabel(text);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignHCenter);
        column->addWidget(label);
        return label;
    };
    if (info.name) {
        m_name = line(*info.name);
        m_name->setFont(monospaced(18, QFont::DemiBold));
    }
    if (info.shortVersion && info.version)
        m_version = line(QStringLiteral("%1 (%2)").arg(*info.shortVersion, *info.version));
    m_copyright = line(copyright);
}

} // namespace faciward::helpers
