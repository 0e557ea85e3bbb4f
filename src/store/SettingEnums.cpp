#include "store/SettingEnums.h"

QString title(MenuBarStyle value)
{
    switch (value) {
    case MenuBarStyle::iconAndName:
        return QStringLiteral("Icon and name");
    case MenuBarStyle::nameOnly:
        return QStringLiteral("Name only");
    case MenuBarStyle::iconOnly:
        return QStringLiteral("Icon only");
    case MenuBarStyle::numberAndName:
        return QStringLiteral("Number and name");
    }
    return QString();
}

QString title(PillPlacement value)
{
    switch (value) {
    case PillPlacement::belowPreview:
        return QStringLiteral("Below the preview");
    case PillPlacement::insidePreview:
        return QStringLiteral("Inside the preview");
    }
    return QString();
}

QString title(HUDPosition value)
{
    switch (value) {
    case HUDPosition::center:
        return QStringLiteral("Center");
    case HUDPosition::top:
        return QStringLiteral("Top");
    case HUDPosition::bottom:
        return QStringLiteral("Bottom");
    }
    return QString();
}

QString title(HUDSize value)
{
    switch (value) {
    case HUDSize::compact:
        return QStringLiteral("Compact");
    case HUDSize::regular:
        return QStringLiteral("Regular");
    case HUDSize::large:
        return QStringLiteral("Large");
    }
    return QString();
}

QString title(HoverZone value)
{
    switch (value) {
    case HoverZone::center:
        return QStringLiteral("Center");
    case HoverZone::wholeEdge:
        return QStringLiteral("Whole top edge");
    }
    return QString();
}

QString title(NotchSide value)
{
    switch (value) {
    case NotchSide::left:
        return QStringLiteral("Left of the notch");
    case NotchSide::right:
        return QStringLiteral("Right of the notch");
    }
    return QString();
}

QString title(NotchContent value)
{
    switch (value) {
    case NotchContent::iconAndName:
        return QStringLiteral("Icon and name");
    case NotchContent::nameOnly:
        return QStringLiteral("Name");
    case NotchContent::iconOnly:
        return QStringLiteral("Icon");
    }
    return QString();
}

double scale(HUDSize value)
{
    switch (value) {
    case HUDSize::compact:
        return 0.82;
    case HUDSize::regular:
        return 1.0;
    case HUDSize::large:
        return 1.3;
    }
    return 1.0;
}

bool showsIcon(NotchContent value)
{
    return value != NotchContent::nameOnly;
}

bool showsName(NotchContent value)
{
    return value != NotchContent::iconOnly;
}
