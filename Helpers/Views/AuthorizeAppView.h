#pragma once

#include <QScrollArea>

#include <functional>
#include <vector>

class QLabel;

namespace faciward::helpers {

/// @brief A scrolling page that walks the user through granting the
/// application the screen-recording permission in the system settings: a
/// title, the caller's icon and an explanation, the path to follow as a column
/// of overlapping lozenges (only the first, "Go to System Preferences", does
/// something: it calls back), and a note about the padlock.
///
/// The texts name the application by its bundle name (Bundle), or by
/// Qt's application name when the build gives none. They describe another
/// desktop's settings: Linux asks for no such permission.
class AuthorizeAppView : public QScrollArea
{
    Q_OBJECT

public:
    static constexpr int spacing = 24;
    static constexpr int headerSpacing = 16;
    static constexpr int sideMargin = 16;
    /// @brief How far each step overlaps the one above it.
    static constexpr int stepOverlap = 4;

    /// @brief A page showing @p icon (taken over as a child) that calls
    /// @p onTapSystemPreferences when the first step is clicked.
    AuthorizeAppView(QWidget *icon, std::function<void()> onTapSystemPreferences, QWidget *parent = nullptr);

    void setOnTapSystemPreferences(std::function<void()> action) { m_onTapSystemPreferences = std::move(action); }

    QLabel *title() const { return m_title; }
    QLabel *explanation() const { return m_explanation; }
    QLabel *note() const { return m_note; }
    /// @brief The five steps, top to bottom.
    const std::vector<QWidget *> &steps() const { return m_steps; }

private:
    std::function<void()> m_onTapSystemPreferences;
    QLabel *m_title;
    QLabel *m_explanation;
    QLabel *m_note;
    std::vector<QWidget *> m_steps;
};

} // namespace faciward::helpers
