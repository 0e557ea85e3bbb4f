#include "engine/Desktop.h"

#include "store/Palette.h"
#include "store/Settings.h"
#include "store/SpaceStore.h"

SpaceMeta Desktop::meta() const
{
    return SpaceStore::shared().meta(managedID());
}

SpaceMeta Desktop::shownMeta() const
{
    SpaceMeta stored = meta();
    if (!Settings::shared().presenting())
        return stored;
    SpaceMeta hidden = SpaceMeta::empty();
    hidden.seconds = stored.seconds;
    hidden.hotkey = stored.hotkey;
    return hidden;
}

QString Desktop::name() const
{
    return shownMeta().name;
}

bool Desktop::hasName() const
{
    return !name().isEmpty();
}

QString Desktop::displayName() const
{
    const QString shown = name();
    return shown.isEmpty() ? QStringLiteral("Desktop ") + QString::number(number) : shown;
}

SpaceIcon Desktop::icon() const
{
    return shownMeta().icon;
}

TileColor Desktop::color() const
{
    return shownMeta().color;
}

std::optional<Hotkey> Desktop::hotkey() const
{
    return meta().hotkey;
}

bool Desktop::isCustomized() const
{
    return !meta().isEmpty();
}

bool Desktop::isTransparent() const
{
    return color().kind() == TileColor::Kind::transparent;
}

QColor Desktop::tileColor() const
{
    const TileColor shown = color();
    const qint64 index = shown.kind() == TileColor::Kind::palette ? shown.paletteIndex() : number - 1;
    return Palette::color(index);
}

QColor Desktop::swatchColor() const
{
    return isTransparent() ? Palette::neutral() : tileColor();
}

std::optional<Hotkey> Desktop::effectiveHotkey(const Settings& settings) const
{
    if (auto own = hotkey())
        return own;
    if (settings.directJumpEnabled())
        return Hotkey::digit(number, settings.directJumpModifiers());
    return std::nullopt;
}
