#pragma once

#include "engine/Desktop.h"
#include "menubar/TilePresence.h"
#include "platform/Menu.h"
#include "platform/NotificationCenter.h"
#include "platform/StatusBar.h"
#include "store/SettingEnums.h"
#include "ui/GlyphImage.h"

#include <QHash>
#include <QImage>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class AppCommands;
class QWidget;
class Settings;
class SpaceEngine;

namespace MenuBarNotifications {
// The bundle identifier less its last part ("app" for "app.tessaroom").
QString prefix();
// Posted whenever the tile is dropped by the bar or steps aside, and when it
// comes back: the bundle identifier less its last part, then
// ".menuBarTileChanged".
QString tileChanged();
// The notch label's change notification, which the tile redraws on.
QString notchLabelChanged();
} // namespace MenuBarNotifications

// The menu-bar tile: one status item showing the current desktop of the
// display with the active menu bar, as a small coloured tile and/or its name
// by the user's style, with the Dock badges that wait on other desktops.
// It checks that the bar really shows it (a full bar silently pushes items
// onto no screen): first it gives up the name (compact), then it records
// that the bar dropped it. It steps aside for the notch label when the
// settings ask. A left click toggles the popover; a right or Control click
// opens the menu of desktops and commands. Everything the app does goes
// through the AppCommands given, which outlive the controller.
class StatusBarController final : public QObject {
    Q_OBJECT
public:
    // A snapshot of everything the tile shows; redrawn only when it changes.
    struct Look {
        quint64 id = 0;
        // Also decides the automatic colour and the tooltip.
        qint64 number = 0;
        QString name;
        QString icon;
        qint64 color = 0;
        MenuBarStyle style = MenuBarStyle::iconAndName;
        double maxWidth = 0;
        bool compact = false;
        std::optional<QString> badge;
        bool operator==(const Look&) const = default;
    };

    static constexpr double tileSize = 17;
    static constexpr double tileRadius = 4.5;
    static constexpr double menuTileSize = 16;
    // The most of the tooltip's font, in points, a name takes in the tooltip:
    // a longer one is cut with "…", so the tip keeps within a small screen.
    static constexpr double toolTipNameWidth = 240;
    // Pixels per point of the images handed to the bar and the menu.
    static constexpr double imageScale = 2;
    // Seconds.
    static constexpr double firstCheckDelay = 1.5;
    static constexpr double fullNameRetryDelay = 6.0;
    static constexpr double confirmDelay = 0.4;
    static inline const QString autosaveName = QStringLiteral("Tessaroom");

    explicit StatusBarController(AppCommands& commands);
    ~StatusBarController() override;

    // --- drawing -------------------------------------------------------------
    void refresh() { render(); }
    // Touches the button only when the Look changed. Without an active
    // desktop it shows "Spaces" and forgets the Look, so the same desktop
    // coming back is drawn again.
    void render();
    platform::StatusBarButton* button();
    platform::StatusItem& item() { return *item_; }
    bool compact() const { return compact_; }
    void setCompact(bool compact) { compact_ = compact; }
    // Asks whether the notch label is showing; answers false until set.
    void setNotchLabelVisible(std::function<bool()> visible);
    const std::optional<Look>& rendered() const { return rendered_; }
    // The tile as one square picture, for a tray that shows items only as
    // icons, whatever the style: the desktop's tile (number only for
    // numberAndName), a transparent desktop on its swatch grey, and the badge
    // summary in the top right corner, clear of the number.
    static GlyphImagePtr iconForm(const Desktop& desktop, bool numberOnly, const std::optional<QString>& badge);
    static constexpr double iconFormSize = 22;
    // The tile image with bottomMargin empty points below it (none: as is).
    static QImage padded(const QImage& image, double bottomMargin);
    // The empty space the bar wants under the tile on a system version.
    static double bottomMargin(int majorVersion);

    // --- fit and presence ---------------------------------------------------------
    // At start and on every screen change: a check after firstCheckDelay and
    // a full-name retry after fullNameRetryDelay, both dropped by a newer
    // arming. A full tile found off screen is confirmed confirmDelay later
    // and made compact; a compact (or icon-only) one off screen is dropped.
    void armFitChecks();
    void screensChanged() { armFitChecks(); }
    // A window moved or its occlusion changed.
    void statusWindowMoved(qint64 windowNumber);
    void checkFit();
    void confirmCompact();
    void retryFullName();
    bool isOnScreen() const;
    TilePresence presence() const;
    // In the bar: the popover hangs from the button only then.
    bool isTileVisible() const { return !besideNotch_ && !tileHidden_; }
    bool tileHidden() const { return tileHidden_; }
    bool besideNotch() const { return besideNotch_; }
    bool fitChecksArmed() const { return fitChecksArmed_; }
    QString debugLine() const;

    // --- clicks and menu -----------------------------------------------------------
    // The button's action, on left and right mouse-up.
    void clicked();
    void buildMenu();
    // Attaches the menu and clicks the button, which drops it down.
    void openMenu();
    void closeMenu();
    // Pops the menu up at the top-left of view (the notch label).
    void popUpMenu(const QWidget* view);
    void menuDidClose();
    platform::Menu& menu() { return menu_; }

    // Menu actions.
    void switchTo(const platform::MenuItem& sender);
    void editCurrent();
    void showSwitcher();
    void togglePresentation();
    void openMissionControl();
    void openSettings();
    void quit();
    // How quit ends the app (default: the application's quit).
    void setTerminate(std::function<void()> terminate) { terminate_ = std::move(terminate); }

private:
    void setBesideNotch(bool aside);
    Look lookOf(const Desktop& desktop) const;
    QImage menuImage(const Desktop& desktop);
    void addDesktopItem(const Desktop& desktop);
    void scheduleCheck(double delay);

    std::unique_ptr<platform::StatusItem> item_;
    platform::Menu menu_;
    AppCommands& commands_;
    SpaceEngine& engine_;
    Settings& settings_;
    std::optional<Look> rendered_;
    bool compact_ = false;
    bool tileHidden_ = false;
    bool besideNotch_ = false;
    std::function<bool()> notchLabelVisible_;
    bool fitChecksArmed_ = false;
    int screensGeneration_ = 0;
    bool confirming_ = false;
    std::function<void()> terminate_;
    // Menu pictures by tile, drawn once.
    std::vector<std::pair<GlyphImagePtr, QImage>> menuImages_;
    std::vector<platform::NotificationCenter::Subscription> subscriptions_;
};
