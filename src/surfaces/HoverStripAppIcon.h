#pragma once

#include "engine/SpaceApp.h"
#include "ui/Transition.h"

#include <QWidget>

#include <functional>

// One app icon on a hover strip tile: the icon on a dark round backing, its
// Dock badge at the top trailing corner, growing to 1.5 times its size over
// its neighbours while the pointer rests on it. A click opens the app.
// The widget is larger than the icon so the grown icon and the badge fit.
class HoverStripAppIcon : public QWidget {
    Q_OBJECT
public:
    static constexpr double iconSide = 13;
    // The backing reaches 1 point beyond the icon.
    static constexpr double backingSide = iconSide + 2;
    static constexpr double hoverScale = 1.5;
    static constexpr double margin = 6;

    HoverStripAppIcon(const SpaceApp& app, std::function<void()> onOpen, QWidget* parent = nullptr);

    const SpaceApp& app() const { return app_; }
    // 1 at rest, up to hoverScale while hovered.
    double scale() const { return scale_.value(); }
    bool isHovering() const { return hovering_; }
    // Where the backing sits at rest, in widget coordinates.
    static QRectF backingRect();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void setHovering(bool hovering);

    SpaceApp app_;
    std::function<void()> onOpen_;
    Transition scale_;
    bool hovering_ = false;
    bool pressed_ = false;
};
