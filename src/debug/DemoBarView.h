#pragma once

#include "platform/MissionControlPicture.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QWidget>

#include <utility>

class QPainter;

// The drawn stand-in for Mission Control's desktop bar in the demo picture
// (platform::MissionControlPicture): a grey backdrop, the bar, one preview
// per desktop (the demo wallpaper, or a gradient without one) and a
// "Desktop <n>" caption under each. It holds only its scene and paints
// nothing else; the name pills lie over it in a view of their own. Made in
// code only.
class DemoBarView final : public QWidget {
    Q_OBJECT
public:
    // The geometry in the view's coordinates, origin at the bottom left, y up.
    struct Scene {
        QRectF bar;
        // One per desktop, in desktop order.
        QList<QRectF> previews;
        // Each caption and the point its text is centred on.
        QList<std::pair<QString, QPointF>> labels;
    };

    // Caption size, in points.
    static constexpr double captionSize = platform::MissionControlPicture::captionSize;

    // frame: the view's rectangle in its parent, y down as widgets place it.
    DemoBarView(const Scene& scene, const QRectF& frame, QWidget* parent = nullptr);

    const Scene& scene() const { return scene_; }
    // Draws the whole scene into a painter whose y axis points down over a
    // view of this one's size.
    void draw(QPainter& painter) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // A rectangle of the scene in the painter's y-down coordinates.
    QRectF flipped(const QRectF& rect) const;

    Scene scene_;
};
