#include "platform/sim/Tools.h"

#include "platform/sim/Volumes.h"

namespace platform {

void sim::installDiskImageTools(const QString& hdiutilExecutable, const QString& dittoExecutable)
{
    mapTool(tools::hdiutil, hdiutilExecutable, [](const QStringList& arguments, std::optional<int> exitStatus) {
        if (exitStatus != 0 || arguments.isEmpty())
            return;
        if (arguments.first() == QLatin1String("attach")) {
            const qsizetype option = arguments.indexOf(QStringLiteral("-mountpoint"));
            if (option >= 0 && option + 1 < arguments.size())
                mountVolume(arguments[option + 1], arguments.contains(QStringLiteral("-readonly")));
        } else if (arguments.first() == QLatin1String("detach") && arguments.size() >= 2) {
            unmountVolume(arguments[1]);
        }
    });
    mapTool(tools::ditto, dittoExecutable);
}

} // namespace platform
