#pragma once

#include "tests/support/Guards.h"
#include "tests/support/WidgetApplication.h"

#include <gtest/gtest.h>

namespace faciward::testing {

/// @brief A widget test on the offscreen platform, which says on standard error
/// each time it is asked for what it cannot do (opacity, raising, masks,
/// grabs, a tray).
class OffscreenTest : public ::testing::Test
{
protected:
    OffscreenTest() { widgetApplication(); }

    ExpectStderr m_unsupported{"This plugin does not support |systemTrayWindowChanged"};
};

} // namespace faciward::testing
