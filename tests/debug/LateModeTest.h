#pragma once

#include "debug/DebugTools.h"
#include "debug/LateModeContext.h"
#include "menubar/MenuPopoverController.h"
#include "menubar/StatusBarController.h"
#include "missioncontrol/MissionControlTest.h"
#include "settings/SettingsModel.h"
#include "surfaces/NotchName.h"
#include "surfaces/QuickSwitcher.h"
#include "surfaces/SpaceHover.h"
#include "surfaces/SwitchHUD.h"
#include "switching/Accessibility.h"
#include "switching/DesktopSwitcher.h"
#include "ui/AppCommands.h"
#include "update/Updates.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <memory>
#include <optional>

// The launched app's objects as the late modes reach them, built from the
// real surfaces over a world the test makes; the printed lines and the exit
// status are recorded.
class LateModeTest : public MissionControlTest {
protected:
    LateModeTest()
        : out(&printed)
    {
        DesktopSwitcher::installAsEngineSwitcher();
    }

    // Builds the objects once the world exists, as the app does at launch.
    LateModeContext& launch()
    {
        engine().refresh(false);
        engine().start();
        hud = std::make_unique<SwitchHUD>(engine(), settings());
        overlay = makeOverlay();
        switcher = std::make_unique<QuickSwitcher>(engine());
        statusBar = std::make_unique<StatusBarController>(commands);
        popover = std::make_unique<MenuPopoverController>(commands);
        SwitchHUD* shown = hud.get();
        engine().setOnSwitch([shown](const QString& displayUUID, const std::optional<Desktop>&, const Desktop& now) {
            if (Settings::shared().hudEnabled())
                shown->show(now, displayUUID);
        });
        context.emplace(LateModeContext{
            .engine = engine(),
            .settings = settings(),
            .access = Accessibility::shared(),
            .updates = Updates::shared(),
            .commands = commands,
            .hud = *hud,
            .switcher = *switcher,
            .overlay = *overlay,
            .statusBar = *statusBar,
            .popover = *popover,
            .settingsModel = settingsModel,
            .hover = [this]() -> SpaceHover& {
                if (!hover) {
                    MissionControlOverlay* mc = overlay.get();
                    hover = std::make_unique<SpaceHover>(engine(), settings(), [mc] { return mc->isOpen(); });
                }
                return *hover;
            },
            .notch = [this]() -> NotchName& {
                if (!notch)
                    notch = std::make_unique<NotchName>(engine(), settings());
                return *notch;
            },
            .settingsWindow = [] { return nullptr; },
            .onboardingWindow = [] { return nullptr; },
            .out = out,
            .exit = [this](int code) { status = code; },
            .switched = [this] { ++switchesOver; },
        });
        return *context;
    }

    bool runLate(const QStringList& arguments)
    {
        QStringList all{QStringLiteral("/Applications/Tessaroom.app/Contents/MacOS/tessaroom")};
        all << arguments;
        return DebugTools::runLateCommand(all, context ? *context : launch());
    }

    QStringList lines()
    {
        out.flush();
        return printed.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    static QString switchesLog() { return LogFile::switches().tail(1'000'000); }

    std::optional<Desktop> active() { return engine().activeDesktop(); }

    QString printed;
    QTextStream out;
    std::optional<int> status;
    int switchesOver = 0;
    InertCommands commands;
    SettingsModel settingsModel;
    std::unique_ptr<SwitchHUD> hud;
    std::unique_ptr<MissionControlOverlay> overlay;
    std::unique_ptr<QuickSwitcher> switcher;
    std::unique_ptr<StatusBarController> statusBar;
    std::unique_ptr<MenuPopoverController> popover;
    std::unique_ptr<SpaceHover> hover;
    std::unique_ptr<NotchName> notch;
    std::optional<LateModeContext> context;
};
