#pragma once

#include "app/AppDelegate.h"
#include "engine/SpaceEngine.h"
#include "store/LogFile.h"
#include "store/Settings.h"
#include "support/PlatformTest.h"
#include "surfaces/HUDState.h"
#include "surfaces/SwitchHUD.h"
#include "switching/Accessibility.h"
#include "switching/DesktopSwitcher.h"
#include "ui/KitFonts.h"

#include <optional>

// A fresh process with the app's delegate made but not launched.
class AppTest : public PlatformTest {
protected:
    Settings& settings = Settings::shared();

    AppTest()
    {
        // The launched updater checks after a minute: never on the network.
        qputenv("TESSAROOM_UPDATE_FEED", "http://127.0.0.1:9/update.json");
        KitFonts::install();
        DesktopSwitcher::installAsEngineSwitcher();
        // The once-per-installation shortcuts toast would cover the toasts
        // under test; the test of that toast turns this back off.
        settings.setAutoEnabledShortcuts(true);
        delegate = std::make_unique<AppDelegate>(SpaceEngine::shared(), Settings::shared(), Accessibility::shared(),
                                                 AppDelegate::Options{});
    }

    ~AppTest() override { qunsetenv("TESSAROOM_UPDATE_FEED"); }

    static QString switchesLog() { return LogFile::switches().tail(1'000'000); }
    static QString updatesLog() { return LogFile::updates().tail(1'000'000); }

    // The toast panel's content, if a toast was shown.
    std::optional<HUDState::Toast> lastToast() const
    {
        HUDPanel* panel = delegate->hud().panel(SwitchHUD::toastKey);
        return panel ? panel->state().toast() : std::nullopt;
    }
    // How long the last toast stays: the toast panel's fade starts then.
    bool toastShowing() const
    {
        HUDPanel* panel = delegate->hud().panel(SwitchHUD::toastKey);
        return panel && panel->state().visible();
    }

    std::unique_ptr<AppDelegate> delegate;
};
