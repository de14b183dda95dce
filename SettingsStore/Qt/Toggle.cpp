#include "Toggle.h"

#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QStyle>

#include <algorithm>

namespace faciward::prefs {

Toggle::Toggle(const QString &title, const Key<bool> &key, QWidget *parent)
    : QCheckBox(parent)
    , m_observable(key)
    , m_title(title)
{
    // Doubled, an ampersand is shown as itself instead of marking a shortcut.
    setText(QString(title).replace(QLatin1Char('&'), QLatin1String("&&")));
    setUp();
}

Toggle::Toggle(const Key<bool> &key, QWidget *label, QWidget *parent)
    : QCheckBox(parent)
    , m_observable(key)
    , m_label(label)
{
    if (m_label) {
        auto *layout = new QHBoxLayout(this);
        layout->setContentsMargins(indicatorIndent(), 0, 0, 0);
        layout->addWidget(m_label);
        // Clicks on the label go to the box.
        m_label->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    setUp();
}

Toggle::~Toggle() = default;

void Toggle::setUp()
{
    m_shown = m_observable.value();
    setChecked(m_shown);
    // After the change, not before: only then does the store hold the value to show.
    connect(&m_observable, &ObservableBase::changed, this, &Toggle::refresh);
    connect(this, &QAbstractButton::clicked, this, [this](bool checked) {
        m_observable.setValue(checked);
        // Shows what is stored, also when the write failed.
        refresh();
    });
}

Toggle &Toggle::onChange(std::function<void(bool)> action)
{
    m_onChange = std::move(action);
    return *this;
}

void Toggle::refresh()
{
    const bool stored = m_observable.value();
    if (isChecked() != stored) {
        const QSignalBlocker blocker(this);
        setChecked(stored);
    }
    if (stored == m_shown)
        return;
    m_shown = stored;
    if (m_onChange) {
        const auto action = m_onChange; // the action may replace itself
        action(stored);
    }
}

int Toggle::indicatorIndent() const
{
    return style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this) +
           style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, this);
}

// The label's size as its layout item gives it, which heeds the label's minimum and
// maximum sizes: a label widget may have no size hint of its own (a plain widget of
// fixed size), and the toggle would then shrink to its box and cut the label off.
QSize Toggle::sizeHint() const
{
    if (!m_label)
        return QCheckBox::sizeHint();
    const QSize withLabel = layout()->sizeHint(); // the box's indent is the layout's left margin
    return {withLabel.width(), std::max(QCheckBox::sizeHint().height(), withLabel.height())};
}

QSize Toggle::minimumSizeHint() const
{
    if (!m_label)
        return QCheckBox::minimumSizeHint();
    const QSize withLabel = layout()->minimumSize();
    return {withLabel.width(), std::max(QCheckBox::minimumSizeHint().height(), withLabel.height())};
}

bool Toggle::hitButton(const QPoint &pos) const
{
    if (m_label)
        return rect().contains(pos);
    return QCheckBox::hitButton(pos);
}

} // namespace faciward::prefs
