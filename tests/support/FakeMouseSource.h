#pragma once

#include "Helpers/Core/GlobalMouseSource.h"

namespace faciward::testing {

/// @brief A global mouse source whose outside presses the test makes.
class FakeMouseSource : public helpers::GlobalMouseSource
{
public:
    std::string name() const override { return "fake"; }
    /// @brief An outside press of @p button.
    void press(Qt::MouseButton button = Qt::LeftButton) { dispatch(button); }

protected:
    void watch(bool) override {}
};

} // namespace faciward::testing
