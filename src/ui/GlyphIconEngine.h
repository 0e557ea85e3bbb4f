#pragma once

#include "ui/GlyphImage.h"

#include <QIconEngine>

// Lets a GlyphImage stand wherever Qt takes an icon (menus, buttons), drawn
// afresh at each requested size.
class GlyphIconEngine : public QIconEngine {
public:
    explicit GlyphIconEngine(GlyphImage image);

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QIconEngine* clone() const override;

private:
    QRectF fitted(const QRectF& rect) const;

    GlyphImage image_;
};
