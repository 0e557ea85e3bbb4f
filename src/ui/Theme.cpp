#include "ui/Theme.h"

#include "ui/KitFonts.h"

namespace {
QColor srgb(double red, double green, double blue)
{
    return QColor::fromRgbF(float(red), float(green), float(blue));
}

QColor white(double opacity)
{
    return QColor::fromRgbF(1, 1, 1, float(opacity));
}

QColor black(double opacity)
{
    return QColor::fromRgbF(0, 0, 0, float(opacity));
}

QColor withOpacity(QColor color, double opacity)
{
    color.setAlphaF(float(opacity));
    return color;
}
} // namespace

QColor Theme::canvas() { return srgb(0.055, 0.067, 0.094); }
QColor Theme::surface() { return srgb(0.086, 0.102, 0.137); }
QColor Theme::raised() { return srgb(0.102, 0.122, 0.165); }
QColor Theme::elevated() { return srgb(0.133, 0.157, 0.208); }
QColor Theme::hairline() { return white(0.07); }
QColor Theme::stroke() { return white(0.13); }
QColor Theme::text() { return srgb(0.95, 0.96, 0.98); }
QColor Theme::textSecondary() { return withOpacity(text(), 0.6); }
QColor Theme::textTertiary() { return withOpacity(text(), 0.38); }
QColor Theme::wash() { return white(0.055); }
QColor Theme::fill() { return white(0.1); }
QColor Theme::green() { return srgb(0.3, 0.87, 0.6); }
QColor Theme::blue() { return srgb(0.42, 0.74, 1.0); }
QColor Theme::lilac() { return srgb(0.8, 0.74, 1.0); }
QColor Theme::coral() { return srgb(1.0, 0.5, 0.48); }
QColor Theme::mint() { return srgb(0.25, 0.84, 0.55); }
QColor Theme::amber() { return srgb(1.0, 0.7, 0.25); }
QColor Theme::red() { return srgb(1.0, 0.27, 0.23); }
QColor Theme::tagFill() { return withOpacity(srgb(0.09, 0.09, 0.11), 0.94); }
QColor Theme::tagBorder() { return white(0.14); }
QColor Theme::tagShadow() { return QColor::fromRgbF(0, 0, 0, 0.45f); }

QColor Theme::notchFill() { return srgb(0, 0, 0); }
QColor Theme::notchText() { return white(1); }
QColor Theme::switcherCard() { return srgb(0.086, 0.086, 0.1); }
QColor Theme::switcherBorder() { return white(0.14); }
QColor Theme::switcherFieldText() { return white(1); }
QColor Theme::switcherPlaceholder() { return white(0.35); }
QColor Theme::switcherSearchIcon() { return white(0.45); }
QColor Theme::switcherDivider() { return white(0.08); }
QColor Theme::switcherFooter() { return QColor::fromRgbF(0, 0, 0, 0.22f); }
QColor Theme::stripIconBacking() { return QColor::fromRgbF(0, 0, 0, 0.35f); }
QColor Theme::stripCurrentBorder() { return white(0.95); }
QColor Theme::stripHoverBorder() { return white(0.4); }

QColor Theme::pillText() { return white(1); }
QColor Theme::pillStroke() { return white(0.25); }
QColor Theme::pillShadow() { return QColor::fromRgbF(0, 0, 0, 0.5f); }
QColor Theme::tabWash() { return white(0.04); }
QColor Theme::barTrack() { return white(0.06); }
QColor Theme::badgeWell() { return QColor::fromRgbF(0, 0, 0, 0.3f); }
QColor Theme::currentTileBorder() { return white(0.9); }
QColor Theme::onBadge() { return white(1); }

QColor Theme::onColour() { return white(1); }
QColor Theme::cardSheen() { return white(0.045); }
QColor Theme::fieldWell() { return black(0.32); }
QColor Theme::segmentWell() { return black(0.35); }
QColor Theme::cellWash() { return white(0.05); }
QColor Theme::track() { return white(0.16); }
QColor Theme::pressShade() { return black(0.1); }
QColor Theme::knob() { return white(1); }
QColor Theme::knobShadow() { return black(0.25); }
QColor Theme::sliderKnob() { return srgb(0.86, 0.87, 0.89); }
QColor Theme::sliderKnobShadow() { return black(0.3); }
QColor Theme::prominentBorder() { return white(0.25); }
QColor Theme::keyFace() { return white(0.16); }
QColor Theme::keyFacePressed() { return white(0.26); }
QColor Theme::recording() { return srgb(0.04, 0.52, 1.0); }
QColor Theme::focusRing() { return blue(); }
QColor Theme::focusRingOnAccent() { return white(0.92); }
QColor Theme::blueInk() { return srgb(0.05, 0.09, 0.2); }
QColor Theme::tileHighlight() { return white(0.16); }
QColor Theme::tileOutline() { return white(0.25); }
QColor Theme::symbolCellIcon() { return white(0.9); }
QColor Theme::swatchRing() { return white(0.5); }
QColor Theme::swatchSelection() { return white(0.95); }
QColor Theme::badgeOutline() { return black(0.35); }
QColor Theme::shadowInk() { return black(1); }
QColor Theme::renderMenuBar() { return srgb(0.11, 0.11, 0.12); }
QColor Theme::renderMenuTitle() { return white(1); }

QColor Theme::windowBackground()
{
    return canvas();
}

QFont Theme::displayFont(double size, QFont::Weight weight)
{
    return KitFonts::system(size, weight);
}

QFont Theme::font(double size, QFont::Weight weight)
{
    return KitFonts::system(size, weight);
}
