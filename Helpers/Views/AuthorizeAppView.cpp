#include "AuthorizeAppView.h"

#include "Helpers/Core/Bundle.h"
#include "Helpers/Views/ColumnLayout.h"
#include "Helpers/Views/LozengeView.h"

#include <QCoreApplication>
#include <QLabel>
#include <QVBoxLayout>

namespace faciward::helpers {

namespace {

QLabel *paragraph(const QString &text, int pixelSize, bool bold = false)
{
    auto *label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    label->setFont(font);
    return label;
}

} // namespace

AuthorizeAppView::AuthorizeAppView(QWidget *icon, std::function<void()> onTapSystemPreferences, QWidget *parent)
    : QScrollArea(parent)
    , m_onTapSystemPreferences(std::move(onTapSystemPreferences))
{
    const QString name = Bundle::main().name.value_or(QCoreApplication::applicationName());
    m_title = paragraph(tr("Authorize %1").arg(name), 32, true);
    m_explanation = paragraph(
        tr("%1 needs your permission to remove background from screenshots. Follow these steps to authorize it:")
            .arg(name),
        16);
    m_note = paragraph(tr("If the checkbox is disabled, click the padlock and enter your password."), 16);

    auto *page = new QWidget;
    auto *column = new QVBoxLayout(page);
    column->setSpacing(spacing);
    column->setContentsMargins(sideMargin, 0, sideMargin, 0);

    auto *header = new QVBoxLayout;
    header->setSpacing(headerSpacing);
    header->addWidget(m_title);
    header->addWidget(icon, 0, Qt::AlignHCenter);
    header->addWidget(m_explanation);
    column->addLayout(header);

    auto *steps = new ColumnLayout(-stepOverlap);
    m_steps = {
        new LozengeViewWithBottomDivider(QStringLiteral("Go to System Preferences"),
                                         [this] {
                                             if (m_onTapSystemPreferences)
                                                 m_onTapSystemPreferences();
                                         }),
        new LozengeViewWithBottomDivider(QStringLiteral("Security & Privacy")),
        new LozengeViewWithBottomDivider(QStringLiteral("Privacy")),
        new LozengeViewWithBottomDivider(QStringLiteral("Screen Recording")),
        new LozengeView(QStringLiteral("Check ") + name),
    };
    for (QWidget *step : m_steps)
        steps->addWidget(step);
    column->addLayout(steps);
    column->addWidget(m_note);
    column->addStretch();

    setWidget(page);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFrameShape(QFrame::NoFrame);
}

} // namespace faciward::helpers
