#pragma once

#include "ui/AppCommands.h"

#include <QString>

// Commands that count what the settings pages ask of the application.
class RecordingCommands final : public InertCommands {
public:
    QString diagnostics;
    int notchPreviews = 0;
    int missionControl = 0;
    int tagPreviews = 0;
    int hoverPreviews = 0;

    void openMissionControl() override { ++missionControl; }
    void previewSwitchTag() override { ++tagPreviews; }
    void previewHover() override { ++hoverPreviews; }
    void previewNotchName() override { ++notchPreviews; }
    QString diagnosticsText() override { return diagnostics; }
};
