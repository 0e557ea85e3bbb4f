#pragma once

#include "engine/SpaceEngine.h"
#include "platform/sim/World.h"
#include "store/Settings.h"
#include "store/SpaceMeta.h"
#include "store/SpaceStore.h"
#include "support/SimWorldTest.h"
#include "ui/KitFonts.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>

#include <cmath>

// Base of the render and demo tests: the kit's fonts, a world of one display
// (1512 x 982) with the desktops the test asks for (space ids 101, 102, …),
// the engine read from it, and pixel helpers.
class RenderTest : public SimWorldTest {
protected:
    RenderTest() { KitFonts::install(); }

    static SpaceEngine& engine() { return SpaceEngine::shared(); }
    static Settings& settings() { return Settings::shared(); }

    // count desktops, current one on screen, names given to the first ones.
    static void layOut(int count, int current = 1, const QStringList& names = {})
    {
        world().clear();
        if (count > 0) {
            platform::sim::DisplaySpec spec = desktops(QStringLiteral("display-1"), count, 101);
            spec.displayID = 1;
            spec.currentSpaceID = quint64(100 + current);
            world().addDisplay(spec);
        }
        engine().refresh(false);
        for (qsizetype i = 0; i < names.size(); ++i) {
            const std::optional<Desktop> desktop = engine().desktopWithNumber(i + 1);
            if (desktop)
                SpaceStore::shared().change(desktop->managedID(), [&](SpaceMeta& meta) { meta.name = names[i]; });
        }
    }

    // The colour of a pixel (not a point).
    static QColor pixel(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

    static bool near(const QColor& a, const QColor& b, int tolerance = 6)
    {
        return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
            && std::abs(a.blue() - b.blue()) <= tolerance && std::abs(a.alpha() - b.alpha()) <= tolerance;
    }

    // The brightest red+green+blue in a pixel rectangle.
    static int brightest(const QImage& image, const QRect& area)
    {
        int best = 0;
        const QRect clipped = area.intersected(image.rect());
        for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
            for (int x = clipped.left(); x <= clipped.right(); ++x) {
                const QColor c = image.pixelColor(x, y);
                best = std::max(best, c.red() + c.green() + c.blue());
            }
        }
        return best;
    }
};
