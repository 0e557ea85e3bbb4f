#pragma once

#include "ui/TintPalette.h"

#include <QEvent>

class QWidget;

// Values a widget inherits from its ancestors, like an environment: the tint
// palette and the flat-render flag. A widget reads the value set on itself or
// its nearest ancestor, else the default. Setting a value repaints the subtree
// and sends it a changeEvent() so widgets whose structure depends on a value
// can rebuild.
class ViewEnvironment {
public:
    ViewEnvironment() = delete;

    // Default: TintPalette::blue().
    static TintPalette tintPalette(const QWidget* widget);
    static void setTintPalette(QWidget* widget, const TintPalette& palette);

    // Set only by the image renders of the debug tools; a widget that reads it
    // true draws a still version of itself. Default false.
    static bool rendersFlat(const QWidget* widget);
    static void setRendersFlat(QWidget* widget, bool flat);

    // The type of the event sent to every widget of a subtree whose
    // environment changed.
    static QEvent::Type changeEvent();

private:
    static QVariant lookup(const QWidget* widget, const char* key);
    static void store(QWidget* widget, const char* key, const QVariant& value);
};
