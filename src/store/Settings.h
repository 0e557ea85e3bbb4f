#pragma once

#include "store/Hotkey.h"
#include "store/Pref.h"
#include "store/SettingEnums.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The user's preferences, one key each in the standard user defaults. A
// setting is read from the store at most once per process and then served
// from memory; every write sends objectWillChange first (subscribers still
// see the old value), then is cached and written to the store at once. The
// store's file follows within writeInterval (a few writes a second at most,
// off the main thread) and at quit.
class Settings final : public QObject {
    Q_OBJECT

public:
    static Settings& shared();

    // Every setting has a getter, a setter and an in-place change that reads
    // the value, lets the caller change it and writes it back.

    // Menu-bar tile
    MenuBarStyle menuBarStyle() const;
    void setMenuBarStyle(MenuBarStyle value);
    void changeMenuBarStyle(const std::function<void(MenuBarStyle&)>& mutate);

    double menuBarMaxWidth() const;
    void setMenuBarMaxWidth(double value);
    void changeMenuBarMaxWidth(const std::function<void(double&)>& mutate);

    bool showShortcutsInMenu() const;
    void setShowShortcutsInMenu(bool value);
    void changeShowShortcutsInMenu(const std::function<void(bool&)>& mutate);

    // Mission Control labels
    bool mcLabelsEnabled() const;
    void setMcLabelsEnabled(bool value);
    void changeMcLabelsEnabled(const std::function<void(bool&)>& mutate);

    bool mcShowUnnamed() const;
    void setMcShowUnnamed(bool value);
    void changeMcShowUnnamed(const std::function<void(bool&)>& mutate);

    bool mcShowNumber() const;
    void setMcShowNumber(bool value);
    void changeMcShowNumber(const std::function<void(bool&)>& mutate);

    PillPlacement mcPlacement() const;
    void setMcPlacement(PillPlacement value);
    void changeMcPlacement(const std::function<void(PillPlacement&)>& mutate);

    double mcScale() const;
    void setMcScale(double value);
    void changeMcScale(const std::function<void(double&)>& mutate);

    double mcOffsetY() const;
    void setMcOffsetY(double value);
    void changeMcOffsetY(const std::function<void(double&)>& mutate);

    // Switch tag
    bool hudEnabled() const;
    void setHudEnabled(bool value);
    void changeHudEnabled(const std::function<void(bool&)>& mutate);

    HUDPosition hudPosition() const;
    void setHudPosition(HUDPosition value);
    void changeHudPosition(const std::function<void(HUDPosition&)>& mutate);

    HUDSize hudSize() const;
    void setHudSize(HUDSize value);
    void changeHudSize(const std::function<void(HUDSize&)>& mutate);

    double hudDuration() const;
    void setHudDuration(double value);
    void changeHudDuration(const std::function<void(double&)>& mutate);

    bool hudShowNumber() const;
    void setHudShowNumber(bool value);
    void changeHudShowNumber(const std::function<void(bool&)>& mutate);

    // Hover strip
    bool hoverEnabled() const;
    void setHoverEnabled(bool value);
    void changeHoverEnabled(const std::function<void(bool&)>& mutate);

    HoverZone hoverZone() const;
    void setHoverZone(HoverZone value);
    void changeHoverZone(const std::function<void(HoverZone&)>& mutate);

    double hoverDelay() const;
    void setHoverDelay(double value);
    void changeHoverDelay(const std::function<void(double&)>& mutate);

    // Notch label
    bool notchEnabled() const;
    void setNotchEnabled(bool value);
    void changeNotchEnabled(const std::function<void(bool&)>& mutate);

    NotchSide notchSide() const;
    void setNotchSide(NotchSide value);
    void changeNotchSide(const std::function<void(NotchSide&)>& mutate);

    // Defaults to nameOnly when the earlier "notchShowIcon" holds false.
    NotchContent notchContent() const;
    void setNotchContent(NotchContent value);
    void changeNotchContent(const std::function<void(NotchContent&)>& mutate);

    bool tileHiddenBesideNotch() const;
    void setTileHiddenBesideNotch(bool value);
    void changeTileHiddenBesideNotch(const std::function<void(bool&)>& mutate);

    // Stored under "notchStandsInForTile".
    bool notchStandsIn() const;
    void setNotchStandsIn(bool value);
    void changeNotchStandsIn(const std::function<void(bool&)>& mutate);

    // Time tracking
    bool trackTime() const;
    void setTrackTime(bool value);
    void changeTrackTime(const std::function<void(bool&)>& mutate);

    qint64 idleMinutes() const;
    void setIdleMinutes(qint64 value);
    void changeIdleMinutes(const std::function<void(qint64&)>& mutate);

    // Global hotkeys
    std::optional<Hotkey> switcherHotkey() const;
    void setSwitcherHotkey(const std::optional<Hotkey>& value);
    void changeSwitcherHotkey(const std::function<void(std::optional<Hotkey>&)>& mutate);

    std::optional<Hotkey> jumpBackHotkey() const;
    void setJumpBackHotkey(const std::optional<Hotkey>& value);
    void changeJumpBackHotkey(const std::function<void(std::optional<Hotkey>&)>& mutate);

    std::optional<Hotkey> nextHotkey() const;
    void setNextHotkey(const std::optional<Hotkey>& value);
    void changeNextHotkey(const std::function<void(std::optional<Hotkey>&)>& mutate);

    std::optional<Hotkey> prevHotkey() const;
    void setPrevHotkey(const std::optional<Hotkey>& value);
    void changePrevHotkey(const std::function<void(std::optional<Hotkey>&)>& mutate);

    // Number shortcuts and moving windows
    bool directJumpEnabled() const;
    void setDirectJumpEnabled(bool value);
    void changeDirectJumpEnabled(const std::function<void(bool&)>& mutate);

    quint32 directJumpModifiers() const;
    void setDirectJumpModifiers(quint32 value);
    void changeDirectJumpModifiers(const std::function<void(quint32&)>& mutate);

    bool moveWindowEnabled() const;
    void setMoveWindowEnabled(bool value);
    void changeMoveWindowEnabled(const std::function<void(bool&)>& mutate);

    bool moveFollow() const;
    void setMoveFollow(bool value);
    void changeMoveFollow(const std::function<void(bool&)>& mutate);

    // Presentation mode
    bool presenting() const;
    void setPresenting(bool value);
    void changePresenting(const std::function<void(bool&)>& mutate);

    std::optional<Hotkey> presentationHotkey() const;
    void setPresentationHotkey(const std::optional<Hotkey>& value);
    void changePresentationHotkey(const std::function<void(std::optional<Hotkey>&)>& mutate);

    // Dock badges and switching
    bool badgesEnabled() const;
    void setBadgesEnabled(bool value);
    void changeBadgesEnabled(const std::function<void(bool&)>& mutate);

    bool nativeSwitching() const;
    void setNativeSwitching(bool value);
    void changeNativeSwitching(const std::function<void(bool&)>& mutate);

    bool autoEnabledShortcuts() const;
    void setAutoEnabledShortcuts(bool value);
    void changeAutoEnabledShortcuts(const std::function<void(bool&)>& mutate);

    // Updates
    bool updateCheckEnabled() const;
    void setUpdateCheckEnabled(bool value);
    void changeUpdateCheckEnabled(const std::function<void(bool&)>& mutate);

    double updateLastChecked() const;
    void setUpdateLastChecked(double value);
    void changeUpdateLastChecked(const std::function<void(double&)>& mutate);

    QString updateSkipped() const;
    void setUpdateSkipped(const QString& value);
    void changeUpdateSkipped(const std::function<void(QString&)>& mutate);

    QString updateAnnounced() const;
    void setUpdateAnnounced(const QString& value);
    void changeUpdateAnnounced(const std::function<void(QString&)>& mutate);

    QString updateInstalling() const;
    void setUpdateInstalling(const QString& value);
    void changeUpdateInstalling(const std::function<void(QString&)>& mutate);

    // Onboarding and Accessibility
    bool onboardingDismissed() const;
    void setOnboardingDismissed(bool value);
    void changeOnboardingDismissed(const std::function<void(bool&)>& mutate);

    QString accessibilityRepairedFor() const;
    void setAccessibilityRepairedFor(const QString& value);
    void changeAccessibilityRepairedFor(const std::function<void(QString&)>& mutate);

    // Lives in the session's login items, not in the user defaults. Setting it
    // answers the service's error message on failure (no signal is sent then);
    // on success objectWillChange follows the change.
    bool launchAtLogin() const;
    std::optional<QString> setLaunchAtLogin(bool enabled);

    // The user-defaults keys of the stored settings, in table order.
    QStringList keys() const;

signals:
    void objectWillChange();

private:
    Settings();

    static NotchContent notchContentDefault();
    static std::optional<Hotkey> defaultHotkey(quint32 keyCode);

    template <typename T>
    T read(Pref<T>& pref) const;
    template <typename T>
    void write(Pref<T>& pref, const T& value);
    template <typename T>
    void change(Pref<T>& pref, const std::function<void(T&)>& mutate);

    mutable Pref<MenuBarStyle> menuBarStyle_;
    mutable Pref<double> menuBarMaxWidth_;
    mutable Pref<bool> showShortcutsInMenu_;
    mutable Pref<bool> mcLabelsEnabled_;
    mutable Pref<bool> mcShowUnnamed_;
    mutable Pref<bool> mcShowNumber_;
    mutable Pref<PillPlacement> mcPlacement_;
    mutable Pref<double> mcScale_;
    mutable Pref<double> mcOffsetY_;
    mutable Pref<bool> hudEnabled_;
    mutable Pref<HUDPosition> hudPosition_;
    mutable Pref<HUDSize> hudSize_;
    mutable Pref<double> hudDuration_;
    mutable Pref<bool> hudShowNumber_;
    mutable Pref<bool> hoverEnabled_;
    mutable Pref<HoverZone> hoverZone_;
    mutable Pref<double> hoverDelay_;
    mutable Pref<bool> notchEnabled_;
    mutable Pref<NotchSide> notchSide_;
    mutable Pref<NotchContent> notchContent_;
    mutable Pref<bool> tileHiddenBesideNotch_;
    mutable Pref<bool> notchStandsIn_;
    mutable Pref<bool> trackTime_;
    mutable Pref<qint64> idleMinutes_;
    mutable Pref<std::optional<Hotkey>> switcherHotkey_;
    mutable Pref<std::optional<Hotkey>> jumpBackHotkey_;
    mutable Pref<std::optional<Hotkey>> nextHotkey_;
    mutable Pref<std::optional<Hotkey>> prevHotkey_;
    mutable Pref<bool> directJumpEnabled_;
    mutable Pref<quint32> directJumpModifiers_;
    mutable Pref<bool> moveWindowEnabled_;
    mutable Pref<bool> moveFollow_;
    mutable Pref<bool> presenting_;
    mutable Pref<std::optional<Hotkey>> presentationHotkey_;
    mutable Pref<bool> badgesEnabled_;
    mutable Pref<bool> nativeSwitching_;
    mutable Pref<bool> autoEnabledShortcuts_;
    mutable Pref<bool> updateCheckEnabled_;
    mutable Pref<double> updateLastChecked_;
    mutable Pref<QString> updateSkipped_;
    mutable Pref<QString> updateAnnounced_;
    mutable Pref<QString> updateInstalling_;
    mutable Pref<bool> onboardingDismissed_;
    mutable Pref<QString> accessibilityRepairedFor_;
};
