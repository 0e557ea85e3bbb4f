#pragma once

#include <QPainterPath>
#include <QSizeF>
#include <QString>

#include <optional>

// The outlines of the symbol font's ligatures, shaped once per ligature and
// kept for the process (font data never changes while it runs).
namespace SymbolFont {

struct Outline {
    // Within the unit box (0...1 by 0...1, y down) of the glyph's em box.
    QPainterPath path;
    // Width over height of the em box.
    double aspect = 1;
};

// None when the font is missing or does not shape the name into one glyph.
std::optional<Outline> outline(const QString& ligature);

} // namespace SymbolFont
