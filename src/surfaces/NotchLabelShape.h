#pragma once

#include "store/SettingEnums.h"

#include <QPainterPath>
#include <QRectF>

// The label's outline: a straight top edge (it hangs from the top of the
// screen) and square corners under the notch; only the outer bottom corner
// is rounded.
struct NotchLabelShape {
    // The side away from the notch.
    NotchSide outerSide = NotchSide::left;
    double radius = 10;

    // In top-down coordinates; the radius shrinks to fit a small rectangle.
    QPainterPath path(const QRectF& rect) const;
};
