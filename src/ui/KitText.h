#pragma once

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QSizeF>
#include <QString>

class QPainter;

// Text as the kit and the glyph images draw it: measured as one line
// (advance by line height) and placed by the centre of that measured box.
namespace KitText {

QSizeF measure(const QString& text, const QFont& font);
void drawCentred(QPainter& painter, const QString& text, const QFont& font, const QColor& color, QPointF centre);

} // namespace KitText
