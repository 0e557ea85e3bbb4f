#pragma once

#include "ui/GlyphImage.h"

#include <QHash>
#include <QImage>
#include <QString>

// The process-wide state behind Glyph: the tile cache, the picture cache and
// the icons folder, made on first use (a test gets a fresh one).
class GlyphCache {
public:
    static GlyphCache& shared();

    // Emptied completely when a new tile is stored while it holds this many.
    static constexpr qsizetype tileLimit = 300;

    GlyphImagePtr tile(const QString& key) const;
    void storeTile(const QString& key, GlyphImagePtr image);

    // Null when the picture is not cached.
    QImage picture(const QString& fileName) const;
    void storePicture(const QString& fileName, const QImage& picture);

    // Application Support/Tessaroom/icons, made (with its parents) when
    // first asked for; a failure to make it shows later, at the write.
    const QString& iconsFolder();

private:
    QHash<QString, GlyphImagePtr> tiles_;
    QHash<QString, QImage> pictures_;
    QString iconsFolder_;
};
