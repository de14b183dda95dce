#pragma once

#include "Helpers/Core/MainQueue.h"
#include "tests/support/WidgetApplication.h"

namespace faciward::testing {

/// @brief Lets what is posted to the main queue now run, and what that posts
/// in turn: an outside press posts finish(), which posts the close.
inline void settle()
{
    for (int turn = 0; turn < 3; ++turn) {
        bool ran = false;
        helpers::postToMain([&] { ran = true; });
        spinUntil([&] { return ran; });
    }
}

} // namespace faciward::testing
