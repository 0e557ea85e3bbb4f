#include "debug/DebugTools.h"

#include "engine/SpaceEngine.h"
#include "platform/Bundle.h"
#include "platform/Screens.h"
#include "store/Settings.h"

#include <QStringList>

namespace {

QString onOff(bool value)
{
    return value ? QStringLiteral("on") : QStringLiteral("off");
}

QString rectText(const QRectF& rect)
{
    return QStringLiteral("%1,%2 %3x%4")
        .arg(QString::number(rect.x()), QString::number(rect.y()), QString::number(rect.width()),
             QString::number(rect.height()));
}

} // namespace

bool DebugTools::runEarlyCommand(const QStringList& arguments)
{
    Q_UNUSED(arguments);
    return false;
}

bool DebugTools::runLateCommand(const QStringList& arguments)
{
    Q_UNUSED(arguments);
    return false;
}

QString DebugTools::diagnosticsText(const DiagnosticsInput& input)
{
    QStringList lines;
    lines << QStringLiteral("Tessaroom %1 diagnostics").arg(platform::Bundle::shortVersion().value_or(QStringLiteral("0")));
    lines << QStringLiteral("Accessibility: ") + (input.accessibilityTrusted ? QStringLiteral("trusted") : QStringLiteral("not trusted"));
    const QList<platform::Screen> screens = platform::Screens::screens();
    lines << QStringLiteral("Screens: ") + QString::number(screens.size());
    for (const platform::Screen& screen : screens)
        lines << QStringLiteral("  ") + screen.localizedName + QStringLiteral(" frame ") + rectText(screen.frame)
                + QStringLiteral(" visible ") + rectText(screen.visibleFrame) + QStringLiteral(" scale ")
                + QString::number(screen.backingScaleFactor);
    lines << QStringLiteral("Displays: ") + QString::number(input.engine.displays().size());
    for (const Desktop& desktop : input.engine.desktops())
        lines << QStringLiteral("  Desktop %1 space %2 on %3%4 \u201C%5\u201D")
                     .arg(QString::number(desktop.number), QString::number(desktop.id()), desktop.displayUUID(),
                          desktop.isCurrent ? QStringLiteral(" (current)") : QString(), desktop.displayName());
    lines << QStringLiteral("Settings: switch tag %1, hover strip %2, Mission Control labels %3, notch label %4, presenting %5")
                 .arg(onOff(input.settings.hudEnabled()), onOff(input.settings.hoverEnabled()),
                      onOff(input.settings.mcLabelsEnabled()), onOff(input.settings.notchEnabled()),
                      onOff(input.settings.presenting()));
    return lines.join(QLatin1Char('\n'));
}
