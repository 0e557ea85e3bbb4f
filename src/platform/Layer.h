#pragma once

#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <memory>
#include <optional>

class QPainter;

namespace platform {

enum class TimingFunction { linear, easeIn, easeOut, easeInEaseOut };

// A picture-carrying layer of a layer tree, as the compositor keeps them: a
// model value per property, and for position, bounds and opacity an implicit
// animation from the value on screen to the new one whenever the property is
// set inside a Transaction that has a duration and allows actions. What is on
// screen at a moment (the presentation) is sampled on the scheduler's clock,
// so tests see animations move by advancing the manual clock.
//
// Geometry is y up, as in a view that is not flipped: position is where the
// anchor point of the bounds sits in the superlayer. Outside any transaction
// changes take effect at once. Main thread only.
class Layer : public std::enable_shared_from_this<Layer> {
public:
    using Ptr = std::shared_ptr<Layer>;

    // A running or finished animation of one property.
    struct Animation {
        QString property;
        double begin = 0;
        double duration = 0;
        TimingFunction timing = TimingFunction::linear;
        QRectF fromRect;
        QRectF toRect;
        QPointF fromPoint;
        QPointF toPoint;
        double fromValue = 0;
        double toValue = 0;

        // 0 to 1 along the timing curve at time t.
        double progress(double t) const;
        bool isRunning(double t) const { return t < begin + duration; }
    };

    static Ptr make();
    virtual ~Layer();
    Layer(const Layer&) = delete;
    Layer& operator=(const Layer&) = delete;

    // --- model values -------------------------------------------------------
    QPointF position() const { return position_; }
    void setPosition(const QPointF& position);
    QRectF bounds() const { return bounds_; }
    void setBounds(const QRectF& bounds);
    double opacity() const { return opacity_; }
    void setOpacity(double opacity);
    // Drawn stretched over the bounds; a null image draws nothing.
    const QImage& contents() const { return contents_; }
    void setContents(const QImage& contents) { contents_ = contents; }
    // Pixels per point of the contents.
    double contentsScale() const { return contentsScale_; }
    void setContentsScale(double scale) { contentsScale_ = scale; }
    // (0, 0) is the bottom-left corner of the bounds, (1, 1) the top-right.
    QPointF anchorPoint() const { return anchorPoint_; }
    void setAnchorPoint(const QPointF& point) { anchorPoint_ = point; }
    bool masksToBounds() const { return masksToBounds_; }
    void setMasksToBounds(bool masks) { masksToBounds_ = masks; }

    // --- what is on screen at time t ---------------------------------------
    QPointF presentedPosition(double t) const;
    QRectF presentedBounds(double t) const;
    double presentedOpacity(double t) const;
    // Whether this layer or one below it still animates at time t.
    bool isAnimating(double t) const;
    // The last animation of a property ("position", "bounds", "opacity").
    std::optional<Animation> animation(const QString& property) const;

    // --- tree ---------------------------------------------------------------
    void addSublayer(const Ptr& layer);
    void removeFromSuperlayer();
    const QList<Ptr>& sublayers() const { return sublayers_; }
    Layer* superlayer() const { return superlayer_; }

    // Draws the sublayers (not this layer's own contents) as presented at
    // time t into a painter whose y axis points down over a view viewHeight
    // points high.
    void renderSublayers(QPainter& painter, double viewHeight, double t) const;

protected:
    Layer() = default;

private:
    void animate(Animation animation);
    void render(QPainter& painter, const QPointF& origin, double viewHeight, double opacity, double t) const;

    QPointF position_;
    QRectF bounds_;
    double opacity_ = 1;
    QImage contents_;
    double contentsScale_ = 1;
    QPointF anchorPoint_{0.5, 0.5};
    bool masksToBounds_ = false;
    QList<Animation> animations_;
    QList<Ptr> sublayers_;
    Layer* superlayer_ = nullptr;
};

} // namespace platform
