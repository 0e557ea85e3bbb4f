#pragma once

#include "store/Hotkey.h"

#include <QSet>
#include <QString>

class AppActions;

// Turns the settings and the desktops into the registered global hotkeys:
// the five global hotkeys, each desktop's own shortcut, the number shortcuts
// for desktops 1...10 and the move-window shortcuts. Registers everything
// anew only when something that matters has changed.
class HotkeyBindings {
public:
    static constexpr double moveToastDuration = 1.4;

    explicit HotkeyBindings(AppActions& app);
    HotkeyBindings(const HotkeyBindings&) = delete;
    HotkeyBindings& operator=(const HotkeyBindings&) = delete;

    void apply();

private:
    QString currentSignature() const;
    void registerGlobalHotkeys();
    void registerDesktopShortcuts(QSet<QString>& taken);
    void registerNumberShortcuts(const QSet<QString>& taken);

    AppActions& app_;
    QString signature_;
};
