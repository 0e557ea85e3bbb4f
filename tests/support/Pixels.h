#pragma once

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

class QWidget;

// Pixel checks shared by the widget tests of every folder.

// Whether two colours agree within tolerance on every channel (0-255).
::testing::AssertionResult sameColor(const QColor& actual, const QColor& expected, int tolerance = 4);

// The widget and its children drawn on nothing (transparent) at scale pixels
// per point, so what lies outside its shapes stays empty.
QImage renderBare(QWidget& widget, double scale);
// The widget laid out (at its size hint unless it was resized) and drawn with
// its children on background.
QImage renderLaidOut(QWidget& widget, const QColor& background, double scale);
