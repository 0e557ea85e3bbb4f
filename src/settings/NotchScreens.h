#pragma once

#include "platform/Screens.h"

#include <QList>
#include <QRectF>

#include <optional>

// Which screens have a camera notch, from their auxiliary top areas: the
// General page's caption needs only whether one is connected. The notch label
// keeps its own geometry; this is the same rule, read from the screens.
namespace NotchScreens {

// The notch between a screen's top-left and top-right areas, in screen
// coordinates; none when either area is missing or they leave no gap.
std::optional<QRectF> notchRect(const platform::Screen& screen);
bool anyNotch(const QList<platform::Screen>& screens);
// Over the screens attached now.
bool anyNotchConnected();

} // namespace NotchScreens
