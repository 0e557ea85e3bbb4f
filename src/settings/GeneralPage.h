#pragma once

#include "platform/NotificationCenter.h"
#include "settings/SettingsServices.h"

#include <QWidget>

class AccentButton;
class DarkToggle;
class SegmentPicker;
class SettingRow;
class ValueSlider;

// Launch at login, the menu-bar tile, presentation mode, the Dock's badges,
// the label beside the camera notch, and the reset of every desktop's data.
//
// Every control but launch at login writes its setting at once. Launch at
// login is the session's login-item registration: the switch shows the
// page's own copy of it, and after a change (refused or not) takes the
// registration's real state again. "Reset…" asks first; only its
// destructive answer removes the desktops' stored data.
class GeneralPage : public QWidget {
    Q_OBJECT
public:
    static const QString launchFailureTitle;
    static const QString resetTitle;
    static const QString resetMessage;
    static const QString resetAction;

    explicit GeneralPage(const SettingsServices& services, QWidget* parent = nullptr);

    bool launchAtLogin() const { return launchAtLogin_; }
    bool hasNotch() const { return hasNotch_; }

    // What the launch-at-login switch does when the user flips it.
    void setLaunchAtLogin(bool enabled);
    // "Reset…": the confirmation, then the reset when the user agrees.
    void confirmReset();

    DarkToggle* launchToggle() const { return launch_; }
    SettingRow* presentationRow() const { return presentationRow_; }
    SettingRow* notchRow() const { return notchRow_; }
    SettingRow* quitRow() const { return quitRow_; }

private:
    QWidget* makeMenuBarCard();
    QWidget* makeNotchCard();
    void refresh();
    void refreshNotch();

    SettingsServices services_;
    bool launchAtLogin_;
    bool hasNotch_;
    DarkToggle* launch_ = nullptr;
    SegmentPicker* style_ = nullptr;
    ValueSlider* width_ = nullptr;
    DarkToggle* shortcutsInMenu_ = nullptr;
    DarkToggle* presenting_ = nullptr;
    SettingRow* presentationRow_ = nullptr;
    DarkToggle* badges_ = nullptr;
    DarkToggle* notchEnabled_ = nullptr;
    SettingRow* notchRow_ = nullptr;
    DarkToggle* standsIn_ = nullptr;
    SegmentPicker* side_ = nullptr;
    SegmentPicker* content_ = nullptr;
    DarkToggle* tileHidden_ = nullptr;
    QWidget* quitDivider_ = nullptr;
    SettingRow* quitRow_ = nullptr;
    platform::NotificationCenter::Subscription screensChanged_;
};
