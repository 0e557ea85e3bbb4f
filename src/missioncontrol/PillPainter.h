#pragma once

#include "missioncontrol/PillMetrics.h"
#include "ui/GlyphImage.h"

#include <QFont>
#include <QHash>
#include <QImage>
#include <QSizeF>
#include <QString>

struct Desktop;

// Draws the picture of one pill (a rounded, shadowed capsule in the desktop's
// colour with an optional icon and the name in white) and keeps the pictures
// it drew, keyed by everything a picture shows; the layout passes ask for the
// same pictures up to 30 times a second. The cache is emptied whole when it
// reaches 200 entries. Main thread only.
class PillPainter {
public:
    // Blank image around the pill on every side, for the shadow.
    static constexpr double margin = 12;
    // The pill's corner radius at scale 1.
    static constexpr double cornerRadius = 6.5;
    static constexpr int cacheLimit = 200;

    struct Picture {
        // Null when rendering failed. Its device pixel ratio is the backing scale.
        QImage image;
        // The picture's size in points (the pill plus the margins, rounded up).
        QSizeF size;
    };

    Picture image(const Desktop& desktop, const QString& text, const QFont& font, const GlyphImagePtr& glyph,
                  const PillMetrics& metrics, double backingScale, bool showNumber);

    // The cache key: id|number|name|icon|colour|width|height|scale|number setting|backing scale.
    static QString key(const Desktop& desktop, const PillMetrics& metrics, double backingScale, bool showNumber);
    // Draws the pill into an image's rectangle, y down, at the image's own origin.
    static void draw(QPainter& painter, const QSizeF& imageSize, const Desktop& desktop, const QString& text,
                     const QFont& font, const GlyphImagePtr& glyph, const PillMetrics& metrics);

    qsizetype cacheSize() const { return cache_.size(); }
    bool isCached(const QString& key) const { return cache_.contains(key); }
    // How many pictures were drawn (cache misses).
    int drawCount() const { return draws_; }
    // Test hook: the next conversions to pixels fail.
    void failRendering(bool fail) { failRendering_ = fail; }

private:
    QHash<QString, QImage> cache_;
    int draws_ = 0;
    bool failRendering_ = false;
};
