#pragma once

#include <QColor>
#include <QLinearGradient>
#include <QMetaType>

// The accent of prominent buttons, selected segments, sliders and switches,
// carried in the view environment (ViewEnvironment) so that a subtree can be
// re-tinted without touching its views.
struct TintPalette {
    // A gradient that runs from the top-leading to the bottom-trailing corner
    // of whatever it fills.
    struct Gradient {
        QColor from;
        QColor to;
        QLinearGradient over(const QRectF& rect) const;
        bool operator==(const Gradient&) const = default;
    };

    QColor color;
    Gradient gradient;
    QColor soft;
    QColor onTint;

    static const TintPalette& blue();

    bool operator==(const TintPalette&) const = default;
};

Q_DECLARE_METATYPE(TintPalette)
