#pragma once

#include "platform/Screens.h"

#include <QRectF>

#include <optional>

namespace platform::sim {

// Which rectangle of each screen a choice compares.
enum class ScreenPart { frame, visibleFrame };

// The screen whose part holds the largest share of rect (both in screen
// coordinates); none when no screen holds any of it.
std::optional<Screen> screenHoldingMostOf(const QRectF& rect, ScreenPart part);

} // namespace platform::sim
