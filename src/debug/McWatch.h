#pragma once

#include "debug/ModeOutput.h"

#include <QString>

#include <memory>

class Accessibility;
class DockAccess;
class RepeatingTimer;

// Records what the Mission Control detection sees: 20 times a second it
// samples the open test, the host's windows and the Dock's desktop bar, and
// logs a sample only when it differs from the last one logged. Ends itself
// with status 0 after 20 s. Main thread only.
class McWatch {
public:
    static constexpr double sampleInterval = 0.05;
    static constexpr double duration = 20.0;

    // Writes the header and starts sampling.
    McWatch(Accessibility& access, ModeOutput::LineSink sink, ModeOutput::Exit exit);
    ~McWatch();
    McWatch(const McWatch&) = delete;
    McWatch& operator=(const McWatch&) = delete;

    // One sample's text (ends in a line break).
    QString sample();

private:
    void tick();

    ModeOutput::LineSink sink_;
    ModeOutput::Exit exit_;
    std::unique_ptr<DockAccess> dock_;
    double start_ = 0;
    QString lastSample_;
    std::unique_ptr<RepeatingTimer> timer_;
};

// "--mc-watch LOGPATH": the watch for the life of the process.
void runMissionControlWatch(const QString& logPath, Accessibility& access, ModeOutput::Exit exit);
