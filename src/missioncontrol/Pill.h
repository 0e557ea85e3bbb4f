#pragma once

#include "engine/Desktop.h"

#include <QRectF>
#include <QString>

// One name pill of Mission Control: the desktop button it belongs to (the
// anchor), the bar that button sits in, the width of the system's own label
// it must cover, and the desktop it names. Coordinates are y up (screen or
// view coordinates). Equal pills look the same: besides the geometry and the
// desktop, the shown name, icon and colour at the time the pill was made are
// compared, so turning presentation mode on or renaming a desktop redraws.
struct Pill {
    static constexpr double labelAnchorMaxHeight = 44;

    Pill() = default;
    Pill(const QRectF& anchor, const QRectF& bar, double labelWidth, const Desktop& desktop);

    QRectF anchor;
    QRectF bar;
    double labelWidth = 0;
    Desktop desktop;
    // The desktop's shown name, icon and colour when the pill was made.
    QString look;

    bool operator==(const Pill&) const = default;

    // A collapsed bar's text label rather than a thumbnail.
    bool isLabelAnchor() const { return anchor.height() <= labelAnchorMaxHeight; }
    Pill offsetBy(double dx, double dy) const;

    static QString lookOf(const Desktop& desktop);
};
