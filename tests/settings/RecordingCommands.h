#pragma once

#include "ui/AppCommands.h"

#include <QString>

// Commands that count what the settings pages ask of the application.
class RecordingCommands final : public AppCommands {
public:
    QString diagnostics;
    int notchPreviews = 0;
    int missionControl = 0;
    int tagPreviews = 0;
    int hoverPreviews = 0;

    void openSettings(std::optional<SettingsPage>) override {}
    void showOnboarding() override {}
    void openMissionControl() override { ++missionControl; }
    void toggleQuickSwitcher() override {}
    void togglePopover() override {}
    void showPopover(const PopoverPage&) override {}
    void closePopover() override {}
    void switchTo(const Desktop&) override {}
    void switchTo(const Desktop&, const SpaceApp&) override {}
    void previewSwitchTag() override { ++tagPreviews; }
    void previewHover() override { ++hoverPreviews; }
    void previewNotchName() override { ++notchPreviews; }
    void togglePresentation() override {}
    QString diagnosticsText() override { return diagnostics; }
};
