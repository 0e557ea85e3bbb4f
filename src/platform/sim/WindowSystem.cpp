#include "platform/sim/WindowSystem.h"

#include <QGuiApplication>

namespace platform::sim {

bool onWindowSystem()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return false;
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

} // namespace platform::sim
