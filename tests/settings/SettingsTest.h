#pragma once

#include "engine/SpaceEngine.h"
#include "platform/sim/World.h"
#include "settings/SettingsServices.h"
#include "store/SpaceMeta.h"
#include "store/SpaceStore.h"
#include "support/PlatformTest.h"

#include <QAbstractButton>
#include <QColor>
#include <QImage>
#include <QList>
#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

// Base of the settings tests: the kit's fonts, a world the test lays out
// with displays of desktops (space ids 101, 102, … on the first display, 201,
// … on the second), the engine read from it, and helpers that act as a user.
class SettingsTest : public PlatformTest {
protected:
    SettingsTest();

    static platform::sim::World& world() { return platform::sim::World::shared(); }
    static SettingsServices services() { return SettingsServices::shared(); }
    static SpaceEngine& engine() { return SpaceEngine::shared(); }
    static SpaceStore& store() { return SpaceStore::shared(); }

    // Replaces the world with displays of these many desktops each; the
    // current desktop of each display is its first unless given. The engine
    // is refreshed.
    static void layOut(const QList<int>& desktopsPerDisplay, int currentOnFirst = 1);
    static platform::sim::DisplaySpec displaySpec(int index, int desktops, int current);
    static quint64 spaceID(int display, int desktop) { return quint64(100 * (display + 1) + desktop); }
    static void store(qint64 number, const SpaceMeta& meta);
    static Desktop desktop(qint64 number);

    static void click(QAbstractButton& button);
    static void leftClick(QWidget& widget, QPointF at);
    static QImage render(QWidget& widget, double scale = 1);
    // Saves a render for a person to look at, when TESSAROOM_RENDER_DIR is set.
    static void keep(QWidget& widget, const QString& name);

    // --- the keyboard ---
    // The window shown and made the active one.
    static void activate(QWidget& window);
    // Tab pressed where the keyboard focus is: focus moves on by key.
    static void pressTab(QWidget& window);
    // How many pixels differ between two pictures of the same size.
    static int differingPixels(const QImage& a, const QImage& b);

    // Whether the picture shows the app's one icon over rect (points).
    static ::testing::AssertionResult showsAppIcon(const QImage& image, const QRectF& rect);

    template <typename T>
    static T* find(const QWidget& root, const QString& name)
    {
        return root.findChild<T*>(name);
    }
};
