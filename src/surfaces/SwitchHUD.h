#pragma once

#include "engine/Desktop.h"
#include "surfaces/HUDPanel.h"

#include <QString>

#include <map>
#include <memory>

class Settings;
class SpaceEngine;

// The switch tag after every switch and the toasts that carry the app's
// notices. One panel per display for tags, one for the settings preview and
// one for toasts, each made on first use and kept; so a toast and a tag, or
// tags on two displays, show side by side.
class SwitchHUD {
public:
    static constexpr double defaultToastDuration = 3.5;
    static inline const QString previewKey = QStringLiteral("preview");
    static inline const QString toastKey = QStringLiteral("toast");

    SwitchHUD(SpaceEngine& engine, Settings& settings);
    ~SwitchHUD();
    SwitchHUD(const SwitchHUD&) = delete;
    SwitchHUD& operator=(const SwitchHUD&) = delete;

    // On the display's screen, else the main screen; nothing without either.
    void show(const Desktop& desktop, const QString& displayUUID);
    // The active desktop's tag on the main screen, as a switch shows it.
    void preview();
    void toast(const QString& text, const QString& symbol, double duration = defaultToastDuration);
    // Takes every card away at once and cancels their timed hides.
    void hideAll();

    // A switch-tag panel (a display's or the preview) is on screen with its
    // card in the shown look; the toast panel never counts.
    bool isShowing() const;
    // The panel under a key (a display UUID, previewKey, toastKey), if made.
    HUDPanel* panel(const QString& key) const;

private:
    HUDPanel& panelFor(const QString& key);

    SpaceEngine& engine_;
    Settings& settings_;
    std::map<QString, std::unique_ptr<HUDPanel>> panels_;
};
