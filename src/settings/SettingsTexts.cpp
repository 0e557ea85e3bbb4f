#include "settings/SettingsTexts.h"

#include "platform/OneLineText.h"
#include "store/KeyNames.h"

#include <cmath>

namespace SettingsTexts {

QString countsLine(qint64 desktops, qint64 named)
{
    return QStringLiteral("%1 desktops \u00b7 %2 named").arg(desktops).arg(named);
}

QString heroCaption(bool hasName, const QString& displayName, qint64 number)
{
    return hasName ? displayName : QString::number(number);
}

QString heroTooltip(const QString& displayName)
{
    return platform::OneLineText::shown(displayName) + QStringLiteral(" \u00b7 click to edit");
}

QString accessibilityBadge(bool trusted)
{
    return trusted ? QStringLiteral("Mission Control names on")
                   : QStringLiteral("Allow Accessibility for Mission Control names");
}

QString displayHeader(qsizetype index)
{
    return QStringLiteral("Display ") + QString::number(index + 1);
}

QString desktopNumber(qint64 number)
{
    return QStringLiteral("Desktop ") + QString::number(number);
}

QString storedName(const QString& typed)
{
    return typed.trimmed();
}

const QList<std::pair<qint64, QString>>& idleChoices()
{
    static const QList<std::pair<qint64, QString>> choices{
        {1, QStringLiteral("1 min")},
        {3, QStringLiteral("3 min")},
        {5, QStringLiteral("5 min")},
        {10, QStringLiteral("10 min")},
    };
    return choices;
}

QString widthLabel(double points)
{
    const double whole = std::isfinite(points) ? std::round(points) : 0;
    return QString::number(static_cast<qint64>(whole)) + QStringLiteral(" pt");
}

QString pillScaleLabel(double scale)
{
    const double percent = std::isfinite(scale) ? scale * 100 : 0;
    return QString::number(percent, 'f', 0) + QLatin1Char('%');
}

QString pillOffsetLabel(double points)
{
    const double whole = std::isfinite(points) ? std::trunc(points) : 0;
    return QString::number(static_cast<qint64>(whole)) + QStringLiteral(" pt");
}

QString tagDurationLabel(double seconds)
{
    return QString::number(std::isfinite(seconds) ? seconds : 0, 'f', 1) + QStringLiteral(" s");
}

QString hoverDelayLabel(double seconds)
{
    return QString::number(std::isfinite(seconds) ? seconds : 0, 'f', 2) + QStringLiteral(" s");
}

QString presentationCaption(const std::optional<Hotkey>& hotkey)
{
    const QString fixed = QStringLiteral("For recordings and screen shares: names, icons and colors are hidden on "
                                         "every surface until this is off. Shortcuts keep working");
    if (!hotkey)
        return fixed + QLatin1Char('.');
    return fixed + QStringLiteral(", and ") + hotkey->display() + QStringLiteral(" toggles it.");
}

QString notchCaption(bool hasNotch)
{
    if (hasNotch)
        return QStringLiteral("The name sits in the menu bar band flush against the notch, as if the notch had grown a "
                              "label. It steps aside for Mission Control and full-screen apps.");
    return QStringLiteral("For MacBooks with a notch. None is connected right now; the name appears when the built-in "
                          "display is in use. Preview shows the look beside a stand-in.");
}

QString accessibilityStepDetail(bool trusted, bool askedAgainAfterUpdate)
{
    if (trusted)
        return QStringLiteral("Done. Your names show inside Mission Control and switching is instant.");
    const QString rest = QStringLiteral(" Click the button below and turn on Tessaroom in the list; Tessaroom restarts "
                                        "once by itself.");
    if (askedAgainAfterUpdate)
        return QStringLiteral("Tessaroom was updated, so macOS asks for this once more.") + rest;
    return QStringLiteral("Needed for names inside Mission Control and for instant switching.") + rest;
}

QString switcherStepDetail(const std::optional<Hotkey>& hotkey)
{
    const QString keys = hotkey ? KeyNames::describe(*hotkey) : QStringLiteral("the shortcut");
    return QStringLiteral("Press ") + keys + QStringLiteral(", type a few letters, hit Return.");
}

QString hotkeyCaption(const std::optional<Hotkey>& hotkey)
{
    return hotkey ? KeyNames::describe(*hotkey) : QStringLiteral("No shortcut");
}

const QList<std::pair<quint32, QString>>& modifierOptions()
{
    static const QList<std::pair<quint32, QString>> options{
        {0x1800, QStringLiteral("\u2303\u2325")},
        {0x0800, QStringLiteral("\u2325")},
        {0x1100, QStringLiteral("\u2303\u2318")},
        {0x0900, QStringLiteral("\u2325\u2318")},
        {0x1900, QStringLiteral("\u2303\u2325\u2318")},
    };
    return options;
}

SystemShortcutState systemShortcutState(int enabled, int desktops, const QString& label)
{
    if (enabled >= desktops)
        return {true, QStringLiteral("\u23031\u2013\u2303") + label
                          + QStringLiteral(" are on. This is what makes switching instant.")};
    return {false, QString::number(enabled) + QStringLiteral(" of ") + QString::number(desktops)
                       + QStringLiteral(" desktops have a system shortcut. Turn them on for instant switching (System "
                                        "Settings \u2192 Keyboard \u2192 Shortcuts \u2192 Mission Control).")};
}

} // namespace SettingsTexts
