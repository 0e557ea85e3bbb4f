#pragma once

#include <QString>
#include <QVariant>

#include <optional>

namespace platform {

// The window server: displays and their spaces, the window list, and the
// private calls that read and change spaces. Answers that the real service
// gives as untyped dictionaries and arrays come back as QVariantMap and
// QVariantList; an invalid QVariant stands for a null answer.
namespace WindowServer {

using ConnectionID = qint32;

// Options of windowListCopyWindowInfo.
inline constexpr quint32 windowListOptionAll = 0;
inline constexpr quint32 windowListOptionOnScreenOnly = 1;
inline constexpr quint32 windowListExcludeDesktopElements = 16;

// Status answered by setCurrentSpace when it did its work.
inline constexpr qint32 success = 0;
// Status for an unknown display or a space the display does not hold.
inline constexpr qint32 illegalArgument = 1001;

ConnectionID mainConnectionID();

// A list with one dictionary per display, in the window server's order:
// "Display Identifier" (text), "Current Space" ({"id64": number}),
// "Spaces" ([{"id64", "ManagedSpaceID", "type"}, ...]).
QVariant copyManagedDisplaySpaces(ConnectionID connection);

// Makes spaceID the current space of the display named by displayIdentifier
// (a text); the change is immediate.
qint32 managedDisplaySetCurrentSpace(ConnectionID connection, const QVariant& displayIdentifier, quint64 spaceID);

// The identifier of the display that holds the active menu bar (a text), or null.
QVariant copyActiveMenuBarDisplayIdentifier(ConnectionID connection);

// The window server's own name of a space (a text), or null.
QVariant spaceCopyName(ConnectionID connection, quint64 spaceID);

// Window numbers of the windows on the spaces listed in spaceIDs (numbers),
// front to back; owner 0 means every owner.
QVariant copyWindowsWithOptionsAndTags(ConnectionID connection, quint32 owner, const QVariant& spaceIDs,
                                       quint32 options, quint64 setTags, quint64 clearTags);

// Moves the windows listed (numbers) onto the space.
void moveWindowsToManagedSpace(ConnectionID connection, const QVariant& windowNumbers, quint64 spaceID);

// The window list, front to back: one dictionary per window with
// "kCGWindowNumber", "kCGWindowLayer", "kCGWindowOwnerPID" (numbers) and
// "kCGWindowBounds" ({"X", "Y", "Width", "Height"}, top-left origin, y down).
QVariant windowListCopyWindowInfo(quint32 options, quint32 relativeToWindow);

// The UUID text of a display from its display id, or none for an unknown id.
std::optional<QString> displayUUIDString(quint32 displayID);

} // namespace WindowServer
} // namespace platform
