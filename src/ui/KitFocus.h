#pragma once

#include <QColor>
#include <QRectF>


class QAbstractButton;
class QPainter;
class QWidget;

// The keyboard focus ring of the kit's controls. It shows on the focused
// control once the keyboard has moved focus in the control's window (Tab,
// Shift-Tab), as Qt's own styles show focus: until then a control that took
// focus from a click or from the app shows none. Text fields show it
// whenever they have focus. The ring lies inside the control's own
// rectangle, so it needs no room beside it.
namespace KitFocus {

// Width of the ring, in points.
inline constexpr double ringWidth = 2;

// Whether widget has focus in a window where the keyboard has moved focus.
bool showsRing(const QWidget& widget);
// The ring inside a rounded rectangle; a radius of half the shorter side
// makes a capsule or circle.
void paintRing(QPainter& painter, const QRectF& rect, double radius, const QColor& color);

// Return and Enter click the focused button, as Space does (a window's
// default button, a shortcut, still takes Return first). For every kit
// control that is a button.
void pressesOnReturn(QAbstractButton& button);

} // namespace KitFocus
