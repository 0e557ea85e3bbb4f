#pragma once

#include "debug/ModeOutput.h"

#include <memory>

class AppCommands;
class StatusBarController;

// Puts one tile into the menu bar as the app does and logs the geometry that
// decides whether it can be seen: its description at 0.6 s (then the fit
// check runs), and at 2.5 s the screens, the tile, its window and button, and
// this process's windows; then "done" and status 0. Main thread only.
class StatusProbe {
public:
    static constexpr double firstLook = 0.6;
    static constexpr double lastLook = 2.5;

    StatusProbe(AppCommands& commands, ModeOutput::LineSink sink, ModeOutput::Exit exit);
    ~StatusProbe();
    StatusProbe(const StatusProbe&) = delete;
    StatusProbe& operator=(const StatusProbe&) = delete;

    StatusBarController& controller() { return *controller_; }

private:
    void describe();

    ModeOutput::LineSink sink_;
    ModeOutput::Exit exit_;
    std::unique_ptr<StatusBarController> controller_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// "--status-probe LOGPATH": the probe for the life of the process.
void runStatusProbe(const QString& logPath, AppCommands& commands, ModeOutput::Exit exit);
