#pragma once

#include "ui/GlyphImage.h"

#include <QColor>
#include <QWidget>

class QGraphicsDropShadowEffect;

// A tile image at its own size with a soft coloured shadow below it.
class TilePreview : public QWidget {
    Q_OBJECT
public:
    explicit TilePreview(double side, QWidget* parent = nullptr);

    void setTile(GlyphImagePtr tile, const QColor& shadowColor);
    const GlyphImagePtr& tile() const { return tile_; }
    QColor shadowColor() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double side_;
    GlyphImagePtr tile_;
    QGraphicsDropShadowEffect* shadow_;
};
