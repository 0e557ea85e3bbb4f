#pragma once

#include <QString>
#include <QStringList>

class Settings;
class SpaceEngine;

// The developer and test modes selected on the command line, and the
// diagnostics report. No mode is built yet: both dispatchers answer that
// none ran, and the launch goes on.
class DebugTools {
public:
    DebugTools() = delete;

    // The modes that must run before the interface exists; true when one ran
    // (the launch then stops).
    static bool runEarlyCommand(const QStringList& arguments);
    // The modes that need the running app's objects; true when one ran.
    static bool runLateCommand(const QStringList& arguments);

    // What the report is made of; the app passes its live objects in.
    struct DiagnosticsInput {
        const SpaceEngine& engine;
        const Settings& settings;
        bool accessibilityTrusted = false;
    };
    // A multi-line report: its header line, Accessibility, screens, displays
    // and desktops, and a settings summary.
    static QString diagnosticsText(const DiagnosticsInput& input);
};
