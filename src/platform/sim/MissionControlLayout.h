#pragma once

#include "platform/sim/MissionControl.h"
#include "platform/sim/World.h"

#include <QList>
#include <QRectF>
#include <QString>

namespace platform::sim::MissionControlLayout {

// Where the bar of every display and its desktop buttons lie, as the host
// draws them. Used by the tree (positions and sizes) and by the windows shown
// on a desktop session (pictures and clicks), so both always agree.

// A thumbnail's height in the expanded bar, points.
inline constexpr double thumbnailHeight = 110;
// Where the thumbnail lies inside an expanded WindowManager button, points.
inline constexpr double windowManagerThumbnailTop = 10.5;
inline constexpr double windowManagerThumbnailSide = 12.5;

struct ButtonPlace {
    qint64 label = 0;
    quint64 spaceID = 0;
    // The button's own rectangle, accessibility coordinates.
    QRectF rect;
};

struct DisplayPlace {
    quint32 displayID = 0;
    QString uuid;
    // The display, accessibility coordinates.
    QRectF screen;
    QRectF bar;
    QList<ButtonPlace> buttons;
};

// One place per display in the given order, a button per ordinary desktop.
// Closing: every bar lies above the top of its screen.
QList<DisplayPlace> placesOf(const QList<DisplaySpec>& displays, MissionControl::Numbering numbering,
                             bool windowManager, bool expanded, bool closing);

// "Desktop <label>", the text of a button.
QString caption(qint64 label);

} // namespace platform::sim::MissionControlLayout
