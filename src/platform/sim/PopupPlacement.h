#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <functional>
#include <optional>

class QObject;

namespace platform::sim {

// Where popovers, editors and palettes go, in the window system's
// coordinates (the toolkit's global ones).

// The side of its anchor a popup prefers.
enum class PopupSide { below, above, left, right };

// A window of size beside anchor on the preferred side, gap away, inside
// area: on the other side when only that one has room (else on the side with
// more, overlapping the anchor as little as the area allows), and along the
// anchor from crossStart (the left edge beside a side below or above, the
// top edge beside one to the left or right) shifted as far as it must to
// stay inside. A size larger than the area is cut to it.
QRect placeBeside(const QRect& anchor, QSize size, PopupSide side, int crossStart, const QRect& area, int gap);

// The area windows may use on the screen holding a point: the session's
// work area (SessionHooks.h), else the simulated screens' visible frames;
// the nearest screen's when none holds the point, none without screens.
std::optional<QRect> availableAreaAt(QPoint at);

// Runs show once Qt has caught up with a focus change still under way, at
// once when there is none; never once context is gone. A window of the app
// that hides with the focus stays Qt's focus window until the session's
// change reaches Qt, which on X11 first waits a tenth of a second (longer
// under load) for another window of the app to take it. The app's
// deactivation that follows closes every popup, and one shown in between
// would go with it.
void showOnceFocusSettles(QObject* context, std::function<void()> show);

} // namespace platform::sim
