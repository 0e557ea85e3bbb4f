// The delegate's subscriptions and what it does when settings, names,
// Accessibility trust or the update offer change.
#include "app/AppDelegate.h"

#include "engine/SpaceEngine.h"
#include "menubar/StatusBarController.h"
#include "missioncontrol/MissionControlOverlay.h"
#include "store/KeyNames.h"
#include "store/LogFile.h"
#include "store/Settings.h"
#include "store/Timers.h"
#include "surfaces/NotchName.h"
#include "surfaces/SpaceHover.h"
#include "switching/Accessibility.h"
#include "switching/HotkeyBindings.h"
#include "switching/SystemShortcuts.h"
#include "ui/HostedWindow.h"

#include <QPointer>

namespace {

const QString metaChanged = QStringLiteral("Tessaroom.spaceMetaChanged");

} // namespace

// --- subscriptions -------------------------------------------------------------

void AppDelegate::subscribe()
{
    // Read before the settings subscription exists, so the first change of
    // presentation mode after launch is seen as a change.
    presenting_ = settings_.presenting();
    subscribeToSettings();
    subscribeToMetadata();
    subscribeToTrust();
    subscribeToUpdates();
}

void AppDelegate::subscribeToSettings()
{
    QPointer<AppDelegate> self(this);
    connections_.push_back(connect(&settings_, &Settings::objectWillChange, this, [self] {
        if (!self)
            return;
        // Only the last change of a burst runs the sink.
        const quint64 generation = ++self->settingsGeneration_;
        runAfter(settingsDebounce, [self, generation] {
            if (self && self->settingsGeneration_ == generation)
                self->settingsDidChange();
        });
    }));
}

void AppDelegate::subscribeToMetadata()
{
    QPointer<AppDelegate> self(this);
    subscriptions_.push_back(platform::NotificationCenter::defaultCenter().observe(metaChanged, [self] {
        if (self)
            self->hotkeys().apply();
    }));
}

void AppDelegate::subscribeToTrust()
{
    QPointer<AppDelegate> self(this);
    auto deliver = [self](bool trusted) {
        if (!self || self->lastTrusted_ == trusted)
            return;
        self->lastTrusted_ = trusted;
        self->trustChanged(trusted);
    };
    connections_.push_back(connect(&access_, &Accessibility::trustedChanged, this, deliver));
    // The current value arrives at once, as with a publisher.
    deliver(access_.trusted());
}

// --- settings and presentation -----------------------------------------------


void AppDelegate::applySettings()
{
    hotkeys().apply();
    if (settings_.hoverEnabled())
        hover().start();
    else
        hover().stop();
    // The detector also runs for the notch label alone: the label hides while
    // Mission Control is open.
    if (settings_.mcLabelsEnabled() || settings_.notchEnabled())
        overlay_->start();
    else
        overlay_->stop();
    notch().start();
    if (statusBar_)
        statusBar_->render();
}

void AppDelegate::settingsDidChange()
{
    // Starting the notch label refreshes it and the tile is redrawn after it,
    // so applying is all the label and the tile need here.
    applySettings();
    const bool now = settings_.presenting();
    if (presenting_ == now)
        return;
    presenting_ = now;
    platform::NotificationCenter::defaultCenter().post(metaChanged);
    LogFile::switches().write(QStringLiteral("presentation mode ") + (now ? QStringLiteral("on") : QStringLiteral("off")));
    if (now) {
        const std::optional<Hotkey> hotkey = settings_.presentationHotkey();
        const QString hint = hotkey ? QStringLiteral(" Press ") + hotkey->display() + QStringLiteral(" again to bring them back.")
                                    : QStringLiteral(" Turn it off from the menu bar tile.");
        toast(QStringLiteral("Presentation mode: every desktop shows as its number.") + hint,
              QStringLiteral("eye.slash.fill"), 3.5);
    } else {
        toast(QStringLiteral("Presentation mode off. Your names are back."), QStringLiteral("eye.fill"), 2.0);
    }
}

void AppDelegate::trustChanged(bool trusted)
{
    if (!trusted) {
        sawUntrusted_ = true;
        return;
    }
    const bool wasMissing = sawUntrusted_;
    QPointer<AppDelegate> self(this);
    if (access_.trusted() && settings_.nativeSwitching() && !settings_.autoEnabledShortcuts()) {
        const qint64 count = std::min<qint64>(engine_.desktops().size(), SystemShortcuts::desktopLimit);
        if (count < 1 || SystemShortcuts::enabledDesktopCount() >= count) {
            settings_.setAutoEnabledShortcuts(true);
        } else {
            SystemShortcuts::enableDesktopShortcuts(count);
            settings_.setAutoEnabledShortcuts(true);
            const QString label = KeyNames::digitName(count).value_or(QString::number(count));
            runAfter(shortcutsToastDelay, [self, label] {
                if (self)
                    self->toast(QStringLiteral("Turned on macOS shortcuts \u23031\u2013\u2303") + label
                                    + QStringLiteral(" so switching is instant (the Dock restarted to load them). "
                                                     "Change any time in System Settings \u2192 Keyboard."),
                                QStringLiteral("keyboard"), 5.0);
            });
        }
    }
    if (statusBar_)
        statusBar_->render();
    if (wasMissing) {
        toast(QStringLiteral("Accessibility is on. Tessaroom restarts once so switching is instant."),
              QStringLiteral("checkmark.circle.fill"), accessRelaunchDelay);
        runAfter(accessRelaunchDelay, [self] {
            if (self)
                self->relaunchFromBundle();
        });
        return;
    }
    if (onboardingWindow_ && onboardingWindow_->isVisible()) {
        runAfter(welcomeCloseDelay, [self] {
            if (!self)
                return;
            self->onboardingWindow_->close();
            self->settings_.setOnboardingDismissed(true);
        });
    }
}

void AppDelegate::updateAvailable(const QString& version)
{
    if (version == settings_.updateAnnounced())
        return;
    settings_.setUpdateAnnounced(version);
    toast(QStringLiteral("Tessaroom ") + version + QStringLiteral(" is out. Get it from the menu bar tile."),
          QStringLiteral("arrow.down.circle.fill"), 4.0);
}

void AppDelegate::missionControlClosedWithoutAccess()
{
    if (nudgedAboutAccess_)
        return;
    nudgedAboutAccess_ = true;
    toast(QStringLiteral("Names in Mission Control need Accessibility access. Turn it on from the menu bar item."),
          QStringLiteral("exclamationmark.triangle.fill"), 4.0);
}

