#pragma once

#include "ui/GlyphImage.h"

#include <QIcon>
#include <QRectF>

class QPainter;

// The app's one icon: four rounded squares, its desktops, in white on the
// blue-to-lilac tint in a rounded square. The app sets it as every window's
// icon; the welcome and settings headers and About show the running app's
// icon, which is this one (or this mark while the app has set none), and the
// desktop entries name it.
namespace AppIcon {

// The mark at 64 points; it draws sharp at any size.
GlyphImagePtr image();
// The mark at every size asked for.
QIcon icon();
// The running app's icon over rect: its window icon, or the mark while it
// has none.
void paint(QPainter& painter, const QRectF& rect);

} // namespace AppIcon
