#pragma once

#include "debug/LateModeContext.h"
#include "ui/SettingsPage.h"

#include <QList>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>

class FloatingPanel;
class QScrollArea;
class QWidget;
struct Desktop;
namespace platform {
struct Screen;
}

// The timed screenshot script of "--capture DIR": it opens every surface of
// the launched app in turn, writes a PNG of each surface's window into the
// folder, prints one line per file and ends the process with status 0. Every
// step is delayed work on the platform scheduler, planned at once from the
// start; none waits for another, and a step that finds nothing to write says
// so (or writes nothing) and the script goes on.
class Capture : public std::enable_shared_from_this<Capture> {
public:
    struct Options {
        // Builds the Mission Control demo panel for the desktops on a screen,
        // not yet shown. Empty: the demo step writes nothing.
        std::function<std::unique_ptr<FloatingPanel>(const QList<Desktop>& desktops, const platform::Screen& screen)>
            missionControlPanel = {};
    };

    // Seconds from the start to the last step's end ("capture complete").
    static double duration();

    // Creates the folder (a failure shows up later as failed writes), notes
    // the excluded windows and plans every step. The script keeps itself
    // alive until it ends.
    static std::shared_ptr<Capture> start(const QString& directory, const LateModeContext& context,
                                          Options options);

    const QString& directory() const { return directory_; }
    // The tile's window, or -1 when the tile has none: never written as one
    // of the own windows.
    const QSet<qint64>& excludedWindows() const { return excluded_; }

    // --- the steps -------------------------------------------------------------------
    // One window into the folder; one output line (none when no PNG comes out).
    void writeWindowImage(qint64 windowNumber, const QString& fileName) const;
    // Every on-screen window of this process wider than 40 and taller than
    // 20 points, front to back, as "<name>_<n>.png" from 1; the excluded
    // windows and alsoExcluded are left out.
    void writeOwnWindow(const QString& name, const QSet<qint64>& alsoExcluded = {}) const;
    void showMissionControlDemo();
    void openSettingsPage(SettingsPage page);
    // The page's shot, and a second one scrolled to the end when it scrolls.
    void captureSettingsPage();
    // Depth first, the view before its children, children in order.
    static QScrollArea* firstScrollView(QWidget* view);
    void openStatusMenu();
    void finish();

private:
    Capture(const QString& directory, const LateModeContext& context, Options options);
    void plan();
    void at(double seconds, void (Capture::*step)());
    void at(double seconds, std::function<void(Capture&)> step);
    void print(const QString& line) const;

    QString directory_;
    LateModeContext context_;
    Options options_;
    QSet<qint64> excluded_;
    qint64 tileWindow_ = -1;
    std::unique_ptr<FloatingPanel> demoPanel_;
};
