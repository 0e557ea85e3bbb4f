#pragma once

#include "engine/Desktop.h"
#include "support/PlatformTest.h"

#include <QColor>
#include <QImage>
#include <QPointF>

class QWidget;

// Base of the interface tests: the kit's fonts loaded, and helpers that draw
// widgets offscreen and compare what a user would see.
class UiTest : public PlatformTest {
protected:
    UiTest();

    // The widget laid out at its size hint (unless already sized) and drawn
    // over an opaque background at scale pixels per point.
    static QImage render(QWidget& widget, QColor background, double scale = 1);
    // The colour at a point given in points.
    static QColor at(const QImage& image, QPointF point);
    // fg drawn over an opaque bg.
    static QColor over(const QColor& fg, const QColor& bg);
    // A desktop with this metadata in the names store.
    static Desktop desktop(qint64 number, const SpaceIcon& icon = SpaceIcon::none(),
                           const TileColor& color = TileColor::automatic(), const QString& name = {});
};

// Whether two colours agree within tolerance on every channel (0-255).
::testing::AssertionResult sameColor(const QColor& actual, const QColor& expected, int tolerance = 4);
