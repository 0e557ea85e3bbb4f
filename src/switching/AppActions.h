#pragma once

#include <QString>

// What the hotkey bindings ask of the application delegate.
class AppActions {
public:
    virtual ~AppActions() = default;

    // Opens the Quick Switcher when it is hidden, closes it when shown.
    virtual void toggleQuickSwitcher() = 0;
    // Flips presentation mode.
    virtual void togglePresentation() = 0;
    // Shows a short message with a symbol for duration seconds.
    virtual void toast(const QString& text, const QString& symbol, double duration) = 0;
};
