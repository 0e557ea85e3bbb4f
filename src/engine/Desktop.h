#pragma once

#include "engine/SkyLight.h"
#include "store/Hotkey.h"
#include "store/SpaceIcon.h"
#include "store/SpaceMeta.h"
#include "store/TileColor.h"

#include <QColor>
#include <QString>

#include <optional>

class Settings;

// One ordinary desktop as the system shows it: a snapshot taken by the
// engine's refresh. What the user sees of it (name, icon, colour) is read
// from the names store and the settings whenever asked.
struct Desktop {
    SkyLight::Space space;
    // 1-based over the desktops of every display, in window-server order.
    qint64 number = 0;
    bool isCurrent = false;

    bool operator==(const Desktop&) const = default;

    quint64 id() const { return space.id; }
    qint64 managedID() const { return space.managedID; }
    QString displayUUID() const { return space.displayUUID; }

    // The stored metadata.
    SpaceMeta meta() const;
    // The metadata to show: in presentation mode, no name, no icon and the
    // automatic colour (time and shortcut kept).
    SpaceMeta shownMeta() const;
    QString name() const;
    bool hasName() const;
    // The name, or "Desktop <number>".
    QString displayName() const;
    SpaceIcon icon() const;
    TileColor color() const;
    // The desktop's own shortcut, also in presentation mode.
    std::optional<Hotkey> hotkey() const;
    bool isCustomized() const;
    bool isTransparent() const;
    QColor tileColor() const;
    QColor swatchColor() const;
    // The own shortcut, else the number shortcut when those are on.
    std::optional<Hotkey> effectiveHotkey(const Settings& settings) const;
};
