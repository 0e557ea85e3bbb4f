#pragma once

#include "store/SpaceIcon.h"
#include "store/TileColor.h"
#include "ui/GlyphImage.h"
#include "ui/PictureImportError.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>

#include <optional>
#include <variant>

struct Desktop;

// Every picture of a desktop: its square tile (number, symbol, emoji or own
// picture on its tile colour), its bare icon, and a tile with a count badge;
// and the import of a user's own picture into the icons folder.
//
// Tiles are cached by their inputs: the same inputs give the identical image
// object until the cache is emptied (at 300 entries).
class Glyph {
public:
    Glyph() = delete;

    using ImportError = PictureImportError;
    // The side of an imported picture, in pixels and points.
    static constexpr int pictureSide = 256;
    // A tile's corner radius over its side, unless given.
    static constexpr double tileRadiusRatio = 0.28;

    // The tile of a desktop as shown (presentation mode hides its icon and
    // colour). numberOnly: no icon, and a transparent desktop gets its
    // automatic colour.
    static GlyphImagePtr image(const Desktop& desktop, std::optional<double> radius, bool numberOnly, double size);
    // radius absent: size x tileRadiusRatio.
    static GlyphImagePtr tileImage(qint64 number, const SpaceIcon& icon, const TileColor& color,
                                   std::optional<double> radius, double size);
    // Null for none, and for a symbol or picture that cannot be loaded.
    static GlyphImagePtr iconImage(const SpaceIcon& icon, double pointSize, const QColor& color,
                                   QFont::Weight weight = QFont::DemiBold);
    // Null when there is no symbol of that name. The symbol font has a
    // single weight, so the weight does not change the drawing.
    static GlyphImagePtr symbolImage(const QString& name, double pointSize, const QColor& color,
                                     QFont::Weight weight = QFont::DemiBold);
    // The stored picture of a picture icon; null for other icons and for a
    // file that is missing, unreadable or not a plain name in the icons folder.
    static QImage picture(const SpaceIcon& icon);
    // The image 3 points larger each way, with a red count badge in its top
    // right corner.
    static GlyphImagePtr badged(const GlyphImagePtr& image, const QString& text);

    // Reads any picture Qt can open and stores it as a 256 x 256 PNG covering
    // the square; answers the new file's name (never an existing one).
    static std::variant<QString, ImportError> importPicture(const QString& sourcePath, qint64 managedID);
    static QString iconsFolder();

    // The tile cache key: number|icon|colour|side|radius.
    static QString tileKey(qint64 number, const SpaceIcon& icon, const TileColor& color,
                           std::optional<double> radius, double size);
};
