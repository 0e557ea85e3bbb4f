#pragma once

#include <QtGlobal>

// A desktop's tile colour: a palette index (any index maps into the palette),
// the colour that follows from the desktop's number, or no fill.
class TileColor {
public:
    enum class Kind { palette, automatic, transparent };

    TileColor() = default;
    static TileColor palette(qint64 index);
    static TileColor automatic() { return {}; }
    static TileColor transparent();

    // Reads the stored integer; never fails: -2 is transparent, any other
    // negative is automatic, 0 or more is that palette index.
    static TileColor fromInt(qint64 value);
    // The index, -1 for automatic, -2 for transparent.
    qint64 intValue() const;

    Kind kind() const { return kind_; }
    // Meaningful for palette colours only.
    qint64 paletteIndex() const { return index_; }

    friend bool operator==(const TileColor&, const TileColor&) = default;

private:
    TileColor(Kind kind, qint64 index);

    Kind kind_ = Kind::automatic;
    qint64 index_ = 0;
};
