#pragma once

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

    // Settings window: the unselected tab's wash, the track under a time bar,
    // the well of the header's badge, the current tile's border and the
    // white of a symbol or number on a coloured badge.
    static QColor tabWash();
    static QColor barTrack();
    static QColor badgeWell();
    static QColor currentTileBorder();
    static QColor onBadge();

    static constexpr double cornerRadius = 14;
    // The canvas colour, for window backgrounds.
    static QColor windowBackground();

    // The display font; the font set has no rounded design, so it is the
    // system family like font().
    static QFont displayFont(double size, QFont::Weight weight = QFont::DemiBold);
    static QFont font(double size, QFont::Weight weight = QFont::Normal);
};
