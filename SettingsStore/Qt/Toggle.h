#pragma once

#include "SettingsStore/Key.h"
#include "SettingsStore/Qt/Observable.h"

#include <QCheckBox>
#include <QString>

#include <functional>

namespace faciward::prefs {

/// @brief A check box bound to a Bool settings key.
///
/// Shows the key's value as stored (the default when nothing usable is stored),
/// and follows every change of it, from any thread or process. Clicking writes
/// the new value to the key; when the write fails, the box goes back to what is
/// stored. The action set with onChange() runs, with the new value, each time
/// the shown value changes, whoever changed it. Belongs to the main thread.
class Toggle : public QCheckBox
{
    Q_OBJECT

public:
    /// @brief A toggle labelled @p title, shown verbatim ('&' is no mnemonic, and
    /// nothing is translated).
    Toggle(const QString &title, const Key<bool> &key, QWidget *parent = nullptr);
    /// @brief A toggle labelled by @p label (taken over as a child), beside the box;
    /// clicking the label toggles too.
    Toggle(const Key<bool> &key, QWidget *label, QWidget *parent = nullptr);
    ~Toggle() override;

    /// @brief Sets the action run with the new value when the shown value changes,
    /// replacing an earlier one; an empty function removes it.
    Toggle &onChange(std::function<void(bool)> action);

    /// @brief The title as given (empty for a toggle with a label widget).
    const QString &title() const { return m_title; }
    /// @brief The label widget, if the toggle has one.
    QWidget *label() const { return m_label; }
    /// @brief The observable key behind the box.
    Observable<bool> &observable() { return m_observable; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool hitButton(const QPoint &pos) const override;

private:
    void setUp();
    void refresh();
    int indicatorIndent() const;

    Observable<bool> m_observable;
    std::function<void(bool)> m_onChange;
    bool m_shown = false;
    QString m_title;
    QWidget *m_label = nullptr;
};

} // namespace faciward::prefs
