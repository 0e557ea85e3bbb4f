// The commands views call (AppCommands) and the toast the hotkey bindings ask for.
#include "app/AppDelegate.h"

#include "debug/DebugTools.h"
#include "engine/SpaceEngine.h"
#include "menubar/MenuPopoverController.h"
#include "menubar/StatusBarController.h"
#include "missioncontrol/MissionControlOverlay.h"
#include "settings/OnboardingView.h"
#include "settings/SettingsModel.h"
#include "settings/SettingsServices.h"
#include "settings/SettingsView.h"
#include "store/LogFile.h"
#include "store/Settings.h"
#include "surfaces/NotchName.h"
#include "surfaces/QuickSwitcher.h"
#include "surfaces/SpaceHover.h"
#include "surfaces/SwitchHUD.h"
#include "switching/Accessibility.h"
#include "ui/HostedWindow.h"

#include <QPointer>

void AppDelegate::openSettings(std::optional<SettingsPage> page)
{
    if (page)
        settingsModel_->setPage(*page);
    if (!settingsWindow_) {
        QWidget* root = AppEnvironment::withAppEnvironment(
            new SettingsView(*settingsModel_, SettingsServices::shared()), *this);
        settingsWindow_ = std::make_unique<HostedWindow>(root, std::nullopt, settingsAutosaveName, true);
    }
    access_.refresh(false);
    settingsWindow_->show();
}

void AppDelegate::showOnboarding()
{
    if (!onboardingWindow_) {
        QPointer<AppDelegate> self(this);
        auto* view = new OnboardingView(settings_, access_, [self] {
            if (self && self->onboardingWindow_)
                self->onboardingWindow_->close();
        });
        onboardingWindow_ = std::make_unique<HostedWindow>(AppEnvironment::withAppEnvironment(view, *this),
                                                           QSizeF(OnboardingView::windowSize));
    }
    onboardingWindow_->show();
}

void AppDelegate::openMissionControl()
{
    MissionControlOverlay::openMissionControl();
}

void AppDelegate::toggleQuickSwitcher()
{
    switcher_->toggle();
}

const QWidget* AppDelegate::notchLabelView() const
{
    return notch_ ? notch_->visibleLabelView() : nullptr;
}

std::optional<QRectF> AppDelegate::popoverAnchor() const
{
    if (!statusBar_)
        return std::nullopt;
    if (statusBar_->isTileVisible()) {
        if (platform::StatusBarButton* button = statusBar_->button())
            return MenuPopoverController::anchorOf(*button);
    }
    if (const QWidget* label = notchLabelView())
        return MenuPopoverController::anchorOf(label);
    return std::nullopt;
}

void AppDelegate::togglePopover()
{
    const std::optional<QRectF> anchor = popoverAnchor();
    if (!anchor || !popover_) {
        openSettings(std::nullopt);
        return;
    }
    if (!statusBar_->isTileVisible() && !popover_->isShown())
        LogFile::switches().write(QStringLiteral("popover from the notch label"));
    popover_->toggle(*anchor);
}

void AppDelegate::showPopover(const PopoverPage& page)
{
    const std::optional<QRectF> anchor = popoverAnchor();
    if (!anchor || !popover_) {
        openSettings(std::nullopt);
        return;
    }
    popover_->show(*anchor, page);
}

void AppDelegate::closePopover()
{
    if (popover_)
        popover_->close();
}

void AppDelegate::switchTo(const Desktop& desktop)
{
    // Gone before the screen changes.
    if (popover_)
        popover_->closeWithoutAnimation();
    engine_.switchTo(desktop, QStringLiteral("popover"));
}

void AppDelegate::switchTo(const Desktop& desktop, const SpaceApp& thenActivate)
{
    if (popover_)
        popover_->closeWithoutAnimation();
    engine_.switchToThenActivate(desktop, thenActivate, QStringLiteral("popover app"));
}

void AppDelegate::previewSwitchTag()
{
    hud_->preview();
}

void AppDelegate::previewHover()
{
    hover().show(std::nullopt, hoverPreviewPin);
}

void AppDelegate::previewNotchName()
{
    notch().showPreview(NotchName::defaultPreviewSeconds);
}

void AppDelegate::togglePresentation()
{
    settings_.changePresenting([](bool& on) { on = !on; });
}

QString AppDelegate::diagnosticsText()
{
    const QString report = DebugTools::diagnosticsText(debugEnvironment());
    return report + QStringLiteral("\n--- mission-control.log (tail) ---\n") + LogFile::missionControl().tail(6000);
}

void AppDelegate::toast(const QString& text, const QString& symbol, double duration)
{
    hud_->toast(text, symbol, duration);
}
