#pragma once

#include <QString>
#include <QTextStream>

#include <functional>

class Accessibility;
class AppCommands;
class HostedWindow;
class MenuPopoverController;
class MissionControlOverlay;
class NotchName;
class QuickSwitcher;
class Settings;
class SettingsModel;
class SpaceEngine;
class SpaceHover;
class StatusBarController;
class SwitchHUD;
class Updates;

// What the modes that run inside the launched app reach of it: the engine,
// the settings and every surface the delegate owns. The delegate fills it
// after every surface exists; tests build one from their own objects.
struct LateModeContext {
    SpaceEngine& engine;
    Settings& settings;
    Accessibility& access;
    Updates& updates;
    // The delegate's commands (popover, settings and welcome windows, previews).
    AppCommands& commands;
    SwitchHUD& hud;
    QuickSwitcher& switcher;
    MissionControlOverlay& overlay;
    StatusBarController& statusBar;
    MenuPopoverController& popover;
    SettingsModel& settingsModel;
    // Made on first use by the delegate.
    std::function<SpaceHover&()> hover;
    std::function<NotchName&()> notch;
    // Null until first opened.
    std::function<HostedWindow*()> settingsWindow;
    std::function<HostedWindow*()> onboardingWindow;
    // Where the modes print their lines (standard output in the app).
    QTextStream& out;
    // Ends the process with a status (tests record it instead).
    std::function<void(int status)> exit;
    // "--switch": the switch in this process's own world landed or failed
    // (or there was none to make); none: nobody waits for it.
    std::function<void()> switched = {};
};
