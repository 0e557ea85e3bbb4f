#pragma once

#include "platform/Screens.h"

#include <QList>
#include <QRectF>

#include <optional>

// Where a screen's camera notch is, found from the two menu-bar areas left
// and right of it, and where to draw a notch on a screen without one.
namespace NotchGeometry {

inline constexpr double standInWidth = 196;
inline constexpr double cornerRadius = 10;
// How far a label panel reaches into the notch.
inline constexpr double overlap = 40;
// The widest label part outside the notch.
inline constexpr double maxLabelWidth = 260;
inline constexpr double minStandInHeight = 24;

struct Notch {
    platform::Screen screen;
    QRectF rect;
};

// Every attached screen with a notch, in the order of the screen list.
QList<Notch> notches();
// The notch of one screen (screen coordinates), or none. Areas that miss the
// screen are taken as screen-local and moved by its origin; areas that touch
// or overlap, have no height, are not finite, or still leave the notch off
// the screen give none.
std::optional<QRectF> notchRect(const platform::Screen& screen);
// The drawn notch of a preview: 196 wide, the menu-bar height (at least 24)
// high, centred and flush with the top.
QRectF standInFrame(const QRectF& screenFrame, const QRectF& visibleFrame);

} // namespace NotchGeometry
