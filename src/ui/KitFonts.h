#pragma once

#include <QFont>
#include <QString>

// The fixed font set of the interface: DejaVu Sans stands for the system font,
// Noto Color Emoji draws emoji and Material Icons draws symbols. Sizes are in
// points, where one point is one logical pixel (as on the Mac), whatever the
// screen's logical DPI.
namespace KitFonts {

// Loads the symbol font and makes the system font the application font.
// Safe to call more than once; needs the application object.
void install();

QString systemFamily();
QString emojiFamily();
// The family the symbol font registered under, or empty when it is missing.
QString symbolFamily();

QFont system(double size, QFont::Weight weight = QFont::Normal);
// Emoji glyphs first, the system font for anything the emoji font lacks.
QFont emoji(double size);
QFont symbols(double size);

// Applies a size in points (logical pixels) to a font.
void setSize(QFont& font, double size);

} // namespace KitFonts
