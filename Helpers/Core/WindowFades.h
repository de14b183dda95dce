#pragma once

#include "WindowPresentation.h"

#include <QtGlobal>

#include <chrono>
#include <functional>

class QAbstractAnimation;
class QEasingCurve;
class QWidget;

namespace faciward::helpers {

/// @brief The shared timing curves of the toolkit's animations, each a cubic
/// Bézier from (0, 0) to (1, 1) through two control points; only Default is
/// used by the application.
enum class TimingFunction { EaseIn, EaseOut, EaseInEaseOut, Linear, Default };

/// @brief The curve of @p function, made once per process and reused.
const QEasingCurve &timingCurve(TimingFunction function);

/// @brief The length of every fade of the toolkit.
inline constexpr std::chrono::milliseconds kFadeDuration{250};

/// @brief Sets the window's opacity to @p startAlpha, presents it, then
/// animates the opacity to @p targetAlpha. @p completion runs on the main
/// thread when the fade has ended, always after this call returns.
///
/// One fade runs per window: a new fade replaces the running one, which then
/// ends without its close function or its completion. A window deleted
/// during its fade ends it the same way.
void fadeIn(QWidget &window, std::chrono::milliseconds duration, TimingFunction timing,
            PresentationFunction presentation, qreal startAlpha, qreal targetAlpha,
            std::function<void()> completion = {});

/// @brief Animates the opacity to @p targetAlpha; then applies @p closeFunction,
/// sets the opacity back to what it was before (when @p restoresAlpha) and
/// calls @p completion. What it was before is the opacity at rest: when this
/// fade replaces a running one, the value that one would have left, never a
/// value read half-way.
void fadeOut(QWidget &window, std::chrono::milliseconds duration, TimingFunction timing, qreal targetAlpha,
             CloseFunction closeFunction, bool restoresAlpha, std::function<void()> completion = {});

/// @brief The fade running on @p window, or null. A fade stops being the
/// running one when it ends, when another fade replaces it or when its window
/// goes; in each case it is deleted soon after, so its QObject::destroyed
/// tells whoever waits on it that it is over, whichever way it went.
QAbstractAnimation *runningFade(QWidget &window);

/// @brief Shows @p window transparent, in front and active; then, on a later
/// turn of the main queue, centres it and fades it in to 1 over 0.25 s. At
/// rest from the start at 1: a fade-out that replaces it restores 1.
void showFadingIn(QWidget &window);

/// @brief The toolkit's fade-out: 0.25 s, default curve, to 0, hidden with its
/// opacity restored, ready to be shown again.
void fadeOutAndHide(QWidget &window);

} // namespace faciward::helpers
