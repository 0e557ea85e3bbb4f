#pragma once

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QString>

class QPainter;

// Draws emoji text like KitText::drawCentred, but keeps the pixels of each
// text, size and device scale: colour emoji are bitmaps the font engine
// decodes and scales on every draw otherwise, which makes a surface full of
// emoji tiles slow to redraw.
namespace EmojiRaster {

void drawCentred(QPainter& painter, const QString& text, const QFont& font, QPointF centre);

} // namespace EmojiRaster
