#pragma once

#include "debug/DemoBarView.h"
#include "engine/Desktop.h"

#include <QImage>
#include <QList>
#include <QSizeF>

#include <memory>
#include <optional>

class FloatingPanel;
class PillsView;
class Settings;

namespace platform {
struct Screen;
}

// A drawn Mission Control desktop bar with the app's own name pills over it,
// for screenshots and renders of the pills on any machine: as a panel on a
// screen (not shown; the caller orders it front) or as an offscreen image.
// Nothing of it runs in normal use.
//
// Sizes that leave no room (a width or aspect ratio that is zero, negative
// or not finite, too many desktops for the width, a preview under a point
// high, a scale or pixel size no bitmap can have) give no view, panel or
// picture and one line in the system log, never a crash.
namespace MissionControlDemo {

// Layout, in points.
inline constexpr double maxPreviewWidth = 320;
inline constexpr double previewGap = 32;
inline constexpr double barMargin = 28;
inline constexpr double extraBarWidth = 80;
inline constexpr double bandHeight = 36;
inline constexpr double screenInset = 120;
// The panel's top edge below the screen's.
inline constexpr double panelTopInset = 24;
// Largest bitmap side, in pixels.
inline constexpr int maxPixelSide = 16384;

// The geometry for a number of desktops (at least one counts) on a screen of
// width points and aspect ratio (width / height).
struct Geometry {
    // The desktops laid out, at least one.
    qsizetype count = 1;
    double previewWidth = 0;
    double previewHeight = 0;
    QRectF bar;
    QSizeF size;
    // Left edge of preview i.
    double previewLeft(qsizetype i) const;
};
std::optional<Geometry> geometry(qsizetype desktops, double width, double aspect);

struct View {
    std::unique_ptr<DemoBarView> demo;
    // Same bounds as the demo; holds one pill per desktop, placed at once.
    std::unique_ptr<PillsView> pills;
    QSizeF size;
};
std::optional<View> makeView(Settings& settings, const QList<Desktop>& desktops, double width, double aspect);

// A floating panel at the screen-saver level, ignoring the mouse, without
// shadow or animation, at the top centre of screen; null when no view fits.
std::unique_ptr<FloatingPanel> makePanel(Settings& settings, const QList<Desktop>& desktops,
                                         const platform::Screen& screen);

// The demo at scale pixels per point (device pixel ratio scale), with the
// pills over it when pills is set; a null image when no view or bitmap fits.
QImage renderImage(Settings& settings, const QList<Desktop>& desktops, bool pills, double width, double aspect,
                   double scale);

// The picture named by TESSAROOM_DEMO_WALLPAPER, read the first time it is
// asked for and kept for the process; none when unset or unreadable (one
// log line when set but unreadable).
std::optional<QImage> wallpaper();
// Tests: the next wallpaper() reads the variable again.
void forgetWallpaper();

} // namespace MissionControlDemo
