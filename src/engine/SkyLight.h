#pragma once

#include "platform/Screens.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

// Every call into the window server, turning its untyped answers into small
// value records. Nothing here throws or logs: an unusable answer gives an
// empty list, none, or the plain status.
namespace SkyLight {

// One window-server space.
struct Space {
    quint64 id = 0;
    // The key of the desktop's stored metadata; the id when the window server
    // gives none.
    qint64 managedID = 0;
    // 0 is an ordinary desktop; anything else (full-screen apps…) is not.
    qint64 type = 0;
    QString displayUUID;

    bool isDesktop() const { return type == 0; }
    bool operator==(const Space&) const = default;
};

struct Display {
    // Empty when the window server names none.
    QString uuid;
    // 0 when unknown.
    quint64 currentSpaceID = 0;
    // Every space of the display, in the window server's order.
    QList<Space> spaces;

    bool operator==(const Display&) const = default;
};

struct WindowInfo {
    qint64 id = 0;
    // 0 when the window list names no owner.
    qint32 pid = 0;

    bool operator==(const WindowInfo&) const = default;
};

// The connection to the window server, made once per process.
qint32 connection();

QList<Display> displays();
// Switches the space's display to it at once; the window server's status.
qint32 setCurrentSpace(const Space& space);
std::optional<QString> activeMenuBarDisplayUUID();
std::optional<QString> spaceName(quint64 spaceID);
std::optional<QString> displayUUID(quint32 displayID);
// The first screen whose display has this UUID.
std::optional<platform::Screen> screen(const QString& displayUUID);
// Window numbers on a space, in the order given.
QList<qint64> windowIDs(quint64 spaceID);
// Ordinary application windows larger than 80 by 60 points, front to back.
QList<WindowInfo> allWindows();
// The frontmost on-screen window of a process.
std::optional<qint64> frontWindowID(qint32 pid);
void moveWindows(qint64 windowID, quint64 spaceID);

// The parsers behind the calls above.
QList<Display> parseDisplays(const QVariant& answer);
QList<Space> parseSpaces(const QVariantList& spaces, const QString& displayUUID);
std::optional<WindowInfo> windowInfo(const QVariantMap& window);

// Exact integer readings of untyped numbers: none for a non-number, a
// fractional value or one out of range.
std::optional<quint64> unsignedValue(const QVariant& value);
std::optional<qint64> signedValue(const QVariant& value);

} // namespace SkyLight

size_t qHash(const SkyLight::Space& space, size_t seed = 0) noexcept;

template <>
struct std::hash<SkyLight::Space> {
    size_t operator()(const SkyLight::Space& space) const noexcept { return qHash(space); }
};
