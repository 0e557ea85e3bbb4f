#pragma once

#include "debug/ModeOutput.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class Accessibility;
class AppCommands;
class QWidget;
class Settings;
class SpaceEngine;
class SpaceStore;
class Updates;
struct Desktop;

// What the renders draw from: the running app's objects and its commands.
struct RenderSources {
    SpaceEngine& engine;
    Settings& settings;
    SpaceStore& store;
    Accessibility& access;
    Updates& updates;
    AppCommands& commands;
};

// How one view is drawn.
struct RenderImageOptions {
    // The size the view is laid out in; none: its size hint.
    std::optional<QSize> proposal;
    // Cut the picture to its visible part.
    bool crop = false;
    // Runs once the environment is set, for views that would otherwise
    // rebuild for it only on the next turn of the event loop.
    std::function<void()> settle = {};
};

// "--render DIR": the app's surfaces drawn offscreen from the live engine,
// settings and store, without showing a window, each written at once as
// "<name>@2x.png" into DIR. Pictures are at twice the point size, the two
// tile pictures at four times. A picture that cannot be made or written is
// reported and the run goes on. Main thread only.
class Renders {
public:
    Renders() = delete;

    static constexpr double scale = 2;
    static constexpr double menuBarScale = 4;
    // The menu-bar tile picture, in points.
    static constexpr double menuBarHeight = 24;
    static constexpr double menuBarWidth = 300;
    static constexpr double titleSize = 13;
    static constexpr double titleLeft = 34;
    static constexpr double titleTrailing = 10;
    static constexpr double tileSide = 17;
    // The tile's bottom-left corner, y up from the bar's bottom edge.
    static constexpr double tileLeft = 10;
    static constexpr double tileBottom = 3.5;
    static constexpr double tileRadius = 4.5;
    static constexpr double barRadius = 6;
    // The switch tag is laid out in this size, then cut to its visible pixels
    // (alpha above cropAlpha) plus cropMargin pixels on each side.
    static constexpr QSize hudProposal{800, 240};
    static constexpr int cropAlpha = 8;
    static constexpr int cropMargin = 24;
    // The Mission Control demo imitates this screen.
    static constexpr double demoWidth = 2560;
    static constexpr double demoAspect = 1.6;

    // The picture names in the order they are written.
    static QStringList names();

    // Draws every picture into dir (made when missing; a failure to make it
    // shows in the writes) and prints a line per picture, then "render
    // complete": status 0. No active desktop: "render: no desktop", status 1,
    // nothing written. The caller ends the process with the status.
    static int renderAll(const QString& dir, const RenderSources& sources, const ModeOutput::LineSink& out);

    // The view in the app environment with flat rendering, drawn on a
    // transparent background at scale 2; null when nothing can be drawn.
    static QImage renderImage(QWidget& view, AppCommands& commands, const RenderImageOptions& options = {});
    // The smallest box of pixels with alpha above cropAlpha, grown by
    // cropMargin on each side and clamped to the image; the image whole when
    // no pixel is visible.
    static QImage cropToVisible(const QImage& image);
    // "wrote <path> (<w>x<h>)", "render: nothing for <name>" for a null image,
    // or "could not write <path>: <error>".
    static void writeRendered(const QImage& image, const QString& name, const QString& dir,
                              const ModeOutput::LineSink& out);
    // The desktop's tile and name as the menu bar shows them: on a 300-point
    // dark bar, or without it as wide as they need; 24 points high, scale 4.
    static QImage menuBarImage(const SpaceEngine& engine, const Desktop& desktop, bool withBar);
};
