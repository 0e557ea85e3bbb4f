#pragma once

class AppDelegate;
class QMenuBar;

// The app's main menu: "Tessaroom" (Settings…, Quit Tessaroom), "Edit"
// (Undo, Redo, Cut, Copy, Paste, Select All) and "Window" (Close, Minimize),
// with their usual shortcuts (Command is Ctrl on Linux). It matters only
// while one of the app's own windows is key, which takes its key equivalents
// (a menu bar attached to no window would never see them): the editing items
// go to the focused widget, the window items to the active window.
class MainMenu {
public:
    MainMenu() = delete;

    // Builds the menu with the delegate as the settings item's target and
    // makes it the app's main menu (replacing an earlier one).
    static QMenuBar& install(AppDelegate& delegate);
    // The installed menu, if any.
    static QMenuBar* installed();
};
