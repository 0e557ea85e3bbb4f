#pragma once

#include "ui/PopoverPage.h"
#include "ui/SettingsPage.h"

#include <QString>

#include <optional>

class QWidget;
struct Desktop;
struct SpaceApp;

// The application-level operations that views and controllers call. Nothing
// below the application calls the delegate directly: it holds or reads one
// AppCommands. The application delegate implements it; InertCommands, which
// does nothing, answers wherever none was supplied (previews, renders, views
// built outside the running app). Holders keep a plain reference: the
// delegate lives for the whole process.
class AppCommands {
public:
    virtual ~AppCommands() = default;

    // Selects the page when given (none: keep the page), creates the
    // settings window once and shows it.
    virtual void openSettings(std::optional<SettingsPage> page) = 0;
    virtual void showOnboarding() = 0;
    virtual void openMissionControl() = 0;
    virtual void toggleQuickSwitcher() = 0;
    virtual void togglePopover() = 0;
    virtual void showPopover(const PopoverPage& page) = 0;
    virtual void closePopover() = 0;
    // Reason "popover".
    virtual void switchTo(const Desktop& desktop) = 0;
    // Switches and brings the app forward; reason "popover app".
    virtual void switchTo(const Desktop& desktop, const SpaceApp& thenActivate) = 0;
    virtual void previewSwitchTag() = 0;
    virtual void previewHover() = 0;
    virtual void previewNotchName() = 0;
    virtual void togglePresentation() = 0;
    // The diagnostics report followed by the tail of the Mission Control log.
    virtual QString diagnosticsText() = 0;
};

// Does nothing; diagnosticsText() is empty. Tests derive from it to catch
// only the commands they look at.
class InertCommands : public AppCommands {
public:
    void openSettings(std::optional<SettingsPage>) override {}
    void showOnboarding() override {}
    void openMissionControl() override {}
    void toggleQuickSwitcher() override {}
    void togglePopover() override {}
    void showPopover(const PopoverPage&) override {}
    void closePopover() override {}
    void switchTo(const Desktop&) override {}
    void switchTo(const Desktop&, const SpaceApp&) override {}
    void previewSwitchTag() override {}
    void previewHover() override {}
    void previewNotchName() override {}
    void togglePresentation() override {}
    QString diagnosticsText() override { return {}; }

    // The one process-wide default, created on first use.
    static InertCommands& shared();
};

// The application's environment for hosted root views. The shared objects
// (SpaceEngine, Settings, Accessibility, Updates) are reached through their
// shared() instances; what a root view inherits from here is the command
// object, read by every widget below it.
namespace AppEnvironment {

// The commands set on widget or its nearest ancestor, else InertCommands::shared().
AppCommands& commands(const QWidget* widget);
void setCommands(QWidget* widget, AppCommands& commands);

// Wraps a hosted root view: sets its commands. Returns the root.
QWidget* withAppEnvironment(QWidget* root, AppCommands& commands);

} // namespace AppEnvironment
