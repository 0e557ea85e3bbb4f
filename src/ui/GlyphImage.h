#pragma once

#include <QIcon>
#include <QImage>
#include <QRectF>
#include <QSizeF>

#include <functional>
#include <memory>

class QPainter;

// A picture made of drawing code rather than pixels, so it stays sharp at any
// scale: it draws itself into whatever rectangle and resolution it is asked
// for. Immutable once made; shared through GlyphImagePtr.
class GlyphImage {
public:
    // Draws the picture into bounds (its own size, origin at the top left).
    using Drawing = std::function<void(QPainter& painter, const QRectF& bounds)>;

    GlyphImage(QSizeF size, Drawing drawing);

    // In points.
    QSizeF size() const { return size_; }

    // Draws the picture stretched over target.
    void draw(QPainter& painter, const QRectF& target) const;
    // Draws the picture as large as fits in target without changing its
    // aspect ratio, centred in it.
    void drawFitted(QPainter& painter, const QRectF& target) const;
    // Pixels at scale pixels per point (2 for a Retina screen), with that
    // device pixel ratio set, on a transparent background.
    QImage render(double scale) const;
    // An icon that draws the picture at every size it is asked for.
    QIcon icon() const;

private:
    QSizeF size_;
    Drawing drawing_;
};

using GlyphImagePtr = std::shared_ptr<const GlyphImage>;
