#pragma once

#include "ui/FloatingPanel.h"

#include <QRectF>

// A black notch drawn for a preview on a screen without one: square top
// corners, bottom corners rounded by 10 points.
class StandInNotchPanel : public FloatingPanel {
    Q_OBJECT
public:
    // Frames the panel; does not order it front.
    explicit StandInNotchPanel(const QRectF& frame);
};
