#pragma once

#include "debug/DebugTools.h"
#include "platform/Application.h"
#include "platform/NotificationCenter.h"
#include "switching/AppActions.h"
#include "ui/AppCommands.h"

#include <QByteArray>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class Accessibility;
class AppLink;
class CopyLock;
class HostedWindow;
class HotkeyBindings;
class NotchName;
class MenuPopoverController;
class MissionControlOverlay;
class QRectF;
class QuickSwitcher;
class QWidget;
class Settings;
class SettingsModel;
class SpaceEngine;
class SpaceHover;
class StatusBarController;
class SwitchHUD;
class Updates;

// The application's delegate and the owner of every top-level controller. It
// launches them in order when the app has finished launching, re-applies the
// settings after every change, follows links, retires other copies, offers
// the move out of a disk image and relaunches. It is the one real
// implementation of the commands views call, and of the actions the hotkey
// bindings call.
class AppDelegate final : public QObject,
                          public platform::ApplicationDelegate,
                          public AppCommands,
                          public AppActions {
    Q_OBJECT

public:
    struct Options {
        // The process's arguments, for the command-line modes.
        QStringList arguments;
        // The updater the command-line modes and the update steps use; none:
        // the shared one.
        Updates* updates = nullptr;
        // Ends the process for a command-line mode; none: the event loop exits.
        std::function<void(int status)> exit = {};
        // Decides which process is the user's one copy; none: every launch
        // retires the copies it finds and goes on (tests).
        CopyLock* copyLock = nullptr;
        // Runs as soon as this launch is the user's one copy, before anything
        // is shown: the app starts taking links there.
        std::function<void()> becameTheCopy = {};
    };

    // How far the last launch() went.
    enum class LaunchEnd {
        notLaunched,
        earlyMode,
        // Another copy holds on and could not be retired; this one quits
        // (anotherCopyProblem() says why).
        anotherCopy,
        // No place can hold the copy lock, so whether another copy runs
        // cannot be told; this one quits rather than run unguarded
        // (anotherCopyProblem() says why).
        noCopyLock,
        // The mark that tells senders a new copy is on its way cannot be
        // held, so the running copy is left alone and this one quits
        // (anotherCopyProblem() says why).
        noComingMark,
        lateMode,
        moved,
        // The app was asked to quit during the launch.
        quit,
        complete,
    };

    // Copies the app from a source bundle to a target place; none on success,
    // else the failure's text.
    using MoveApp = std::function<std::optional<QString>(const QString& source, const QString& target)>;

    // How much of a link, name or page a message shows.
    static constexpr qsizetype shownLinkCharacters = 200;
    static constexpr double settingsDebounce = 0.05;
    static constexpr double fitCheckDelay = 0.5;
    static constexpr double linkToastDuration = 3.0;
    static constexpr double shortcutsToastDelay = 1.5;
    static constexpr double accessRelaunchDelay = 1.6;
    static constexpr double welcomeCloseDelay = 1.5;
    static constexpr double hoverPreviewPin = 4.0;
    // Lines about links not understood in switches.log, at most this many a
    // minute; the rest are counted in one line.
    static constexpr int notUnderstoodPerMinute = 20;
    // How long a copy that holds the copy lock may stay out of reach before
    // this launch gives up on it, seconds.
    static constexpr double anotherCopyPatience = 5;
    static inline const QString settingsAutosaveName = QStringLiteral("Tessaroom.settings.v3");
    static inline const QString shell = QStringLiteral("/bin/sh");

    AppDelegate(SpaceEngine& engine, Settings& settings, Accessibility& access, Options options);
    ~AppDelegate() override;

    // --- application callbacks ------------------------------------------------
    void applicationDidFinishLaunching() override;
    // Opens the settings window; answers false whatever is visible.
    bool applicationShouldHandleReopen(bool hasVisibleWindows) override;
    // Saves tracked time and flushes the names store (nothing after a
    // developer mode).
    void applicationWillTerminate() override;
    // 1 when quitting cut short a command-line update, else 0.
    int terminationStatus() const override;
    // Each link in order; a bad one never stops the rest.
    void applicationOpenURLs(const QList<QString>& urls) override;
    // The main menu's settings item.
    void showSettingsFromMenu();

    void launch();
    LaunchEnd launchEnd() const { return launchEnd_; }
    // Why the launch ended as anotherCopy, noCopyLock or noComingMark.
    QString anotherCopyProblem() const { return anotherCopyProblem_; }
    // This is the user's own copy, the one that serves links: the launch went
    // to its end, and not on sample data. A mode or a sample session runs
    // beside the user's copy and leaves it alone.
    bool servesLinks() const;

    // --- settings and presentation --------------------------------------------
    void applySettings();
    // The debounced settings sink.
    void settingsDidChange();
    void trustChanged(bool trusted);
    // A newer version is on offer; each version is announced once.
    void updateAvailable(const QString& version);
    // Mission Control closed while the labels lacked Accessibility access.
    void missionControlClosedWithoutAccess();

    // --- links -----------------------------------------------------------------
    void handleLink(const QUrl& url);
    // A link as received from outside: checked for size and encoding first.
    void handleLinkBytes(const QByteArray& bytes);
    // Why a link received from outside is not taken: none when the app
    // understands it (nothing is done yet: handleLinkBytes follows it);
    // otherwise it was reported as not understood, and this is what the user
    // was told.
    std::optional<QString> refuseLink(const QByteArray& bytes);
    // A link too long to be read (size in bytes).
    void handleOversizedLink(qint64 size);

    // --- other copies and relaunch ---------------------------------------------
    // Each other running copy is asked to quit (forced when it stays silent)
    // and has ended on return, or is remembered as one that stays; the names
    // the copies saved on their way out are read again. True when one went.
    bool retireOtherCopies();
    // True when the app was moved and its relaunch has started.
    bool offerMoveToApplications();
    // Starts a helper that waits for this process to end, then opens the
    // bundle; on success the app terminates. False (and a log line) when the
    // helper could not be started: the app keeps running.
    bool relaunch(const QString& bundlePath);
    bool relaunchFromBundle();
    // The shell arguments of the helper: the script is fixed text; the pid and
    // the opening command follow as separate arguments.
    static QStringList relaunchArguments(qint32 pid, const QString& bundlePath);
    // Where the move copies the app: none when no folder will do.
    static std::optional<QString> installTarget(const QString& source);
    // The updater's replacement routine; until it is set the move is not
    // offered.
    void setMoveApp(MoveApp move) { moveApp_ = std::move(move); }
    // The updater's move of the running copy, waited for.
    static MoveApp updaterMove(Updates& updates);

    // --- AppCommands -------------------------------------------------------------
    void openSettings(std::optional<SettingsPage> page) override;
    void showOnboarding() override;
    void openMissionControl() override;
    void toggleQuickSwitcher() override;
    void togglePopover() override;
    void showPopover(const PopoverPage& page) override;
    void closePopover() override;
    void switchTo(const Desktop& desktop) override;
    void switchTo(const Desktop& desktop, const SpaceApp& thenActivate) override;
    void previewSwitchTag() override;
    void previewHover() override;
    void previewNotchName() override;
    void togglePresentation() override;
    QString diagnosticsText() override;

    // --- AppActions ----------------------------------------------------------------
    void toast(const QString& text, const QString& symbol, double duration) override;

    // --- owned controllers ---------------------------------------------------------
    SwitchHUD& hud() { return *hud_; }
    SettingsModel& settingsModel() { return *settingsModel_; }
    MissionControlOverlay& overlay() { return *overlay_; }
    QuickSwitcher& switcher() { return *switcher_; }
    // Null until the launch builds them.
    StatusBarController* statusBar() const { return statusBar_.get(); }
    MenuPopoverController* popover() const { return popover_.get(); }
    // Null until first opened.
    HostedWindow* settingsWindow() const { return settingsWindow_.get(); }
    HostedWindow* onboardingWindow() const { return onboardingWindow_.get(); }
    // Created on first use.
    HotkeyBindings& hotkeys();
    // The notch label; created on first use.
    NotchName& notch();
    SpaceHover& hover();
    // The presentation state the settings sink last acted on.
    std::optional<bool> presenting() const { return presenting_; }
    bool sawUntrusted() const { return sawUntrusted_; }

private:
    // Asked to quit: by a signal, or through the application.
    static bool quitting();
    // Launch steps, in order; those that answer say true (or how it ends)
    // when the launch ends there.
    // A developer mode never writes the user's names or tracked time.
    void keepUserDataFromModes();
    void importLegacyNames();
    bool runEarlyCommands();
    // Retires the other copies and takes the copy lock, before anything is
    // shown; how the launch ends when it ends here.
    std::optional<LaunchEnd> becomeTheOnlyCopy();
    // Gives up on a copy that holds the lock and cannot be retired.
    void yieldToAnotherCopy();
    void buildTile();
    void wireTileAndNotchLabel();
    void buildPopover();
    void wireMissionControlPress();
    void wireSwitchCallback();
    void startEngine();
    void wireOverlayCallbacks();
    void subscribe();
    void scheduleFitCheck();
    bool runLateCommands();
    bool moveToApplications();
    void startAccessibility();
    void wireUpdaterRelaunch();
    void startUpdates();
    void confirmPendingInstall();
    void showWelcome();
    // What the command-line modes and the diagnostics read of this app.
    DebugTools::Environment debugEnvironment();
    // Says which step of a command-line update quitting cut short.
    void reportCommandCutShort();
    // What the late command-line modes reach; every surface exists by then.
    LateModeContext lateModeContext();
    Updates& updates();
    void wireNotchLabel();

    void subscribeToSettings();
    void subscribeToMetadata();
    void subscribeToTrust();
    void subscribeToUpdates();
    // Where the popover hangs: the tile's button while the tile is in the
    // bar, else the notch label; none when neither can hold it (the settings
    // window opens instead).
    std::optional<QRectF> popoverAnchor() const;
    const QWidget* notchLabelView() const;
    bool onSampleData() const;
    void linkFailed(const QString& message);
    void follow(const AppLink& link);
    // Logs and toasts the text as shown (cut and escaped), then the note;
    // answers the toast's text.
    QString linkNotUnderstood(const QString& text, const QString& note = {});
    // Writes the line unless this minute had its share of them.
    void logNotUnderstood(const QString& line);
    // The line counting those left out, if any were.
    void logLeftOutNotUnderstood();

    SpaceEngine& engine_;
    Settings& settings_;
    Accessibility& access_;
    Options options_;
    std::unique_ptr<SwitchHUD> hud_;
    std::unique_ptr<SettingsModel> settingsModel_;
    std::unique_ptr<MissionControlOverlay> overlay_;
    std::unique_ptr<QuickSwitcher> switcher_;
    std::unique_ptr<StatusBarController> statusBar_;
    std::unique_ptr<MenuPopoverController> popover_;
    std::unique_ptr<SpaceHover> hover_;
    std::unique_ptr<HostedWindow> settingsWindow_;
    std::unique_ptr<HostedWindow> onboardingWindow_;
    std::unique_ptr<HotkeyBindings> hotkeys_;
    std::vector<platform::NotificationCenter::Subscription> subscriptions_;
    std::vector<QMetaObject::Connection> connections_;
    bool nudgedAboutAccess_ = false;
    bool sawUntrusted_ = false;
    std::optional<bool> presenting_;
    std::optional<bool> lastTrusted_;
    quint64 settingsGeneration_ = 0;
    LaunchEnd launchEnd_ = LaunchEnd::notLaunched;
    QString anotherCopyProblem_;
    // Copies this launch asked to quit; one found again is not asked twice.
    QSet<qint32> askedToQuit_;
    // A copy that was asked to quit and is still there.
    std::optional<qint32> stayedCopy_;
    // The minute of not-understood lines under way (scheduler seconds), its
    // lines written and left out.
    std::optional<double> notUnderstoodMinute_;
    int notUnderstoodWritten_ = 0;
    int notUnderstoodLeftOut_ = 0;
    MoveApp moveApp_;
    // The step a command-line update is at; none while none runs.
    std::optional<QString> commandStep_;
    bool commandCutShort_ = false;
    // The last version the updater offered, for dropping repeats.
    std::optional<QString> lastOffered_;
    std::unique_ptr<NotchName> notch_;
};
