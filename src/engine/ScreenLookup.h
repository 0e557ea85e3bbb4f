#pragma once

#include "platform/Screens.h"

#include <QPointF>

#include <optional>

// Screen lookups shared by the surfaces.
namespace ScreenLookup {

// The screen with the menu bar (the first of the system's list), if any.
std::optional<platform::Screen> primary();

// The first screen whose frame, grown by margin points above and below (not
// sideways), holds the point (screen coordinates, y up).
std::optional<platform::Screen> screenContaining(const QPointF& point, double margin = 4);

} // namespace ScreenLookup
