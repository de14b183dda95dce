#include "ApplicationInactiveMouseSource.h"

#include <QGuiApplication>

namespace faciward::helpers {

ApplicationInactiveMouseSource::~ApplicationInactiveMouseSource()
{
    QObject::disconnect(m_connection);
}

void ApplicationInactiveMouseSource::watch(bool on)
{
    QObject::disconnect(m_connection);
    if (on)
        m_connection = QObject::connect(qGuiApp, &QGuiApplication::applicationStateChanged, qGuiApp,
                                        [this](Qt::ApplicationState state) {
                                            if (state == Qt::ApplicationInactive)
                                                dispatch(Qt::LeftButton);
                                        });
}

} // namespace faciward::helpers
