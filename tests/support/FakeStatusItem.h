#pragma once

#include "Helpers/Popover/StatusItem.h"

namespace faciward::testing {

/// @brief A status item at a rectangle the test chooses.
class FakeStatusItem : public helpers::StatusItem
{
public:
    explicit FakeStatusItem(QRect anchor)
        : anchor(anchor)
    {
    }
    QRect anchorRect() const override { return anchor; }

    QRect anchor;
};

} // namespace faciward::testing
