#pragma once

#include <QList>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QVariantMap>

#include <optional>

namespace platform {

// One attached screen, in screen coordinates: origin at the bottom-left of
// the primary screen, y up, in points.
struct Screen {
    QRectF frame;
    QRectF visibleFrame;
    // The areas left and right of the camera housing; none on a screen
    // without a notch.
    std::optional<QRectF> auxiliaryTopLeftArea;
    std::optional<QRectF> auxiliaryTopRightArea;
    double backingScaleFactor = 1.0;
    QString localizedName;
    // "NSScreenNumber" holds the display id (a number).
    QVariantMap deviceDescription;

    bool operator==(const Screen&) const = default;
};

namespace Screens {

// Every attached screen; the first is the one with the menu bar.
QList<Screen> screens();
// The screen that holds the key window (the first screen when none does),
// or none when no screen is attached.
std::optional<Screen> mainScreen();
// The primary screen: the first of the list, whose bottom-left corner is the
// origin of screen coordinates; none when no screen is attached.
std::optional<Screen> primaryScreen();

// A window's frame in screen coordinates to the window system's geometry
// (origin top-left of the primary screen, y down) and back.
QRect windowGeometry(const QRectF& frame);
QRectF frameOfWindowGeometry(const QRect& geometry);

} // namespace Screens
} // namespace platform
