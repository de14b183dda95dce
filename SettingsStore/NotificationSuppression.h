#pragma once

namespace faciward::prefs {

/// @brief While a suppression lives, settings observations deliver nothing that
/// arrives on the thread that made it; other threads' notices are untouched.
///
/// Scoped: destroying it restores what the thread had before, so suppressions
/// nest, and an exception leaving the scope does not leave notices off.
class NotificationSuppression
{
public:
    NotificationSuppression();
    ~NotificationSuppression();
    NotificationSuppression(const NotificationSuppression &) = delete;
    NotificationSuppression &operator=(const NotificationSuppression &) = delete;

    /// @brief True while a suppression is in force on the calling thread.
    static bool isActive();

private:
    const bool m_previous;
};

} // namespace faciward::prefs
