#pragma once

#include <QBrush>
#include <QColor>
#include <QFont>

// The system's one dark look: fixed colours, the card radius and the two font
// functions. Colours never follow the desktop's light or dark appearance.
class Theme {
public:
    Theme() = delete;

    // Surfaces, from darkest to lightest.
    static QColor canvas();
    static QColor surface();
    static QColor raised();
    static QColor elevated();

    static QColor hairline();
    static QColor stroke();
    static QColor text();
    // The text colour made translucent, so it picks up what lies beneath.
    static QColor textSecondary();
    static QColor textTertiary();
    static QColor wash();
    static QColor fill();

    static QColor green();
    static QColor blue();
    static QColor lilac();
    static QColor coral();
    static QColor mint();
    static QColor amber();
    static QColor red();

    // The Quick Switcher's card and the hover strip's tiles.
    static QColor switcherCard();
    static QColor switcherBorder();
    static QColor switcherFieldText();
    static QColor switcherPlaceholder();
    static QColor switcherSearchIcon();
    static QColor switcherDivider();
    static QColor switcherFooter();
    static QColor stripIconBacking();
    static QColor stripCurrentBorder();
    static QColor stripHoverBorder();
    // The switch tag and toast card: its fill, its hairline border and its
    // drop shadow.
    static QColor tagFill();
    // The notch label: black like the camera housing it grows out of.
    static QColor notchFill();
    static QColor notchText();
    static QColor tagBorder();
    static QColor tagShadow();
    // Mission Control pills: their text, outline and the shadow they cast.
    static QColor pillText();
    static QColor pillStroke();
    static QColor pillShadow();
    // Settings window: the unselected tab's wash, the track under a time bar,
    // the well of the header's badge, the current tile's border and the
    // white of a symbol or number on a coloured badge.
    static QColor tabWash();
    static QColor barTrack();
    static QColor badgeWell();
    static QColor currentTileBorder();
    static QColor onBadge();
    // Text and symbols on a coloured tile, badge, swatch or tint.
    static QColor onColour();
    // The kit's own pieces.
    static QColor cardSheen();
    static QColor fieldWell();
    static QColor segmentWell();
    static QColor cellWash();
    static QColor track();
    static QColor pressShade();
    static QColor knob();
    static QColor knobShadow();
    static QColor sliderKnob();
    static QColor sliderKnobShadow();
    static QColor prominentBorder();
    static QColor keyFace();
    static QColor keyFacePressed();
    static QColor recording();
    // The keyboard focus ring: on dark controls, and on controls filled with
    // the accent.
    static QColor focusRing();
    static QColor focusRingOnAccent();
    // The dark ink on the blue tint's light surfaces.
    static QColor blueInk();
    // Desktop tiles, icons and badges.
    static QColor tileHighlight();
    static QColor tileOutline();
    static QColor symbolCellIcon();
    static QColor swatchRing();
    static QColor swatchSelection();
    static QColor badgeOutline();
    // Silhouettes tinted to make drop shadows.
    static QColor shadowInk();
    // The debug renders' stand-ins: the menu bar and title behind the
    // rendered tile.
    static QColor renderMenuBar();
    static QColor renderMenuTitle();

    static constexpr double cornerRadius = 14;
    // The canvas colour, for window backgrounds.
    static QColor windowBackground();

    // The display font; the font set has no rounded design, so it is the
    // system family like font().
    static QFont displayFont(double size, QFont::Weight weight = QFont::DemiBold);
    static QFont font(double size, QFont::Weight weight = QFont::Normal);
};
