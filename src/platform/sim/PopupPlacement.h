#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

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

} // namespace platform::sim
