#pragma once

#include "Helpers/Core/GlobalMouseSource.h"

#include <QMetaObject>

namespace faciward::helpers {

/// @brief The stand-in where no platform-wide mouse monitor exists (Wayland,
/// offscreen): a click elsewhere is taken to be what makes the application
/// inactive, and is reported as a left press. A click on a window that never
/// takes focus (the desktop, under some window managers) goes unseen.
class ApplicationInactiveMouseSource : public GlobalMouseSource
{
public:
    ~ApplicationInactiveMouseSource() override;
    std::string name() const override { return "the application turning inactive"; }

protected:
    void watch(bool on) override;

private:
    QMetaObject::Connection m_connection;
};

} // namespace faciward::helpers
