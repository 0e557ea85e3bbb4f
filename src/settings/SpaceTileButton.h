#pragma once

#include "engine/Desktop.h"

#include <QAbstractButton>

// A desktop's tile as a chrome-less button, with a shadow in its tile colour
// that the owner strengthens while the pointer is over it. The widget keeps
// a margin around the tile so the shadow is not cut off.
class SpaceTileButton : public QAbstractButton {
    Q_OBJECT
public:
    SpaceTileButton(const Desktop& desktop, double tileSize, QWidget* parent = nullptr);

    void setDesktop(const Desktop& desktop);
    void setShadowOpacity(double opacity);
    double shadowOpacity() const { return shadowOpacity_; }
    // Where the tile sits, in widget coordinates.
    QRectF tileRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Desktop desktop_;
    double tileSize_;
    double shadowOpacity_ = 0.25;
};
