#pragma once

#include <QColor>
#include <QFont>
#include <QGradientStops>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <optional>
#include <utility>

class QPainter;

namespace platform {

// How Mission Control's desktop bar looks where the real one cannot be seen:
// a dark backdrop, the bar, one preview per desktop (a picture that covers
// it, cut by the rounded corners, or a dusk gradient) and captions. The
// simulated Mission Control shows it on a desktop session; the debug tools'
// demo picture draws it under the app's pills.
namespace MissionControlPicture {

// Preview corner radius and caption size, in points.
inline constexpr double previewRadius = 6;
inline constexpr double captionSize = 12;

// What to draw, in the painter's coordinates (y down).
struct Scene {
    QRectF backdrop;
    QRectF bar;
    QList<QRectF> previews;
    // Each caption and the point its text is centred on.
    QList<std::pair<QString, QPointF>> captions;
};

QColor backdropColor();
QColor barColor();
QColor captionColor();
// The previews' gradient, from their top edge to their bottom edge.
QGradientStops previewGradient();

void draw(QPainter& painter, const Scene& scene, const QFont& captionFont,
          const std::optional<QImage>& wallpaper = std::nullopt);

} // namespace MissionControlPicture
} // namespace platform
