#pragma once

#include "debug/LateModeContext.h"
#include "update/Updates.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

class Accessibility;
class AppCommands;
class QTextStream;
class Settings;
class SpaceEngine;

// The developer and support modes selected on the command line, and the
// diagnostics report. Flags match whole arguments exactly; argument 0 (the
// program) is searched too.
class DebugTools {
public:
    DebugTools() = delete;

    // What became of a link handed to the user's running copy.
    struct LinkHandOver {
        // Nothing listens and no copy is on its way: the link is this
        // process's own to follow.
        bool noCopy = false;
        // The copy that answered as Tessaroom; 0 when none did.
        qint32 pid = 0;
        // Why the link was not taken, one reason a line; none when it was.
        std::optional<QString> problem;
    };

    // What the modes and the report read of the running app; the app fills it.
    struct Environment {
        const SpaceEngine& engine;
        const Settings& settings;
        Updates& updates;
        // The results of the one-shot modes.
        QTextStream& out;
        // Ends the process with a status (tests record it instead).
        std::function<void(int status)> exit = {};
        // Told the step a command that goes on after its start has reached
        // ("check", "download", "install"), and none once it has ended.
        std::function<void(const std::optional<QString>& step)> commandStep = {};
        // Whether the process is trusted for Accessibility, asked without a prompt.
        std::function<bool()> accessibilityTrusted = {};
        // The menu-bar tile's one-line description; none while there is no tile.
        std::function<std::optional<QString>()> tileLine = {};
        // Whether Mission Control is open at this moment.
        std::function<bool()> missionControlOpen = {};
        // The switch link for a bare command-line argument.
        std::function<QUrl(const QString& argument)> switchLink = {};
        // Hands a link to the user's running copy and waits for its answer.
        // None: no copy is reached, the switch is this process's own.
        std::function<LinkHandOver(const QUrl& link)> handOverLink = {};
        // The running application's bundle folder; empty outside a bundle.
        QString bundlePath = {};
        // The Mission Control watch's Accessibility monitor; none: the shared one.
        Accessibility* accessibility = nullptr;
        // The command interface of the tile probe's tile (the app delegate);
        // none: a tile whose commands do nothing.
        AppCommands* commands = nullptr;
    };

    static bool hasFlag(const QString& flag, const QStringList& arguments);
    // The argument right after the first occurrence of flag, whatever it is.
    static std::optional<QString> value(const QString& flag, const QStringList& arguments);
    static std::optional<qsizetype> index(const QString& flag, const QStringList& arguments);

    // Whether the arguments pick a mode of either dispatcher below, by the
    // same tests ("--sample" alone counts: it runs on sample data). Known
    // before the launch starts, so the process can keep off the user's data
    // from its first step.
    static bool selectsMode(const QStringList& arguments);
    // The modes that run before the interface exists; true when one took over
    // the launch (it ends the process through exit, at once or later).
    static bool runEarlyCommand(const QStringList& arguments, Environment& environment);
    // The modes that need the running app's objects; true when one took over
    // the process (the launch ends there).
    static bool runLateCommand(const QStringList& arguments, LateModeContext& context);
    // "--capture DIR": the timed screenshot script over the live app; returns
    // at once, the script ends the process.
    static void capture(const QString& directory, LateModeContext& context);
    // "--render DIR": every surface drawn offscreen into DIR; ends the process.
    static void renderAll(const QString& directory, LateModeContext& context);

    // Check, and with "--download" / "--install" download and install; prints
    // a line per step, then exits: 1 when the check did not end in an offer
    // or "up to date", or a requested step ended failed.
    static void runUpdateCommand(const QStringList& arguments, Environment& environment);
    // The phase as printed: idle, downloading(0.5), ready(file:///...),
    // installing, failed("text").
    static QString phaseText(const Updates::Phase& phase);

    // The support snapshot, every line ending with a line break.
    static QString diagnosticsText(const Environment& environment);
    // "(0.0, 0.0, 1512.0, 982.0)": every number with a fraction.
    static QString frameText(double x, double y, double width, double height);
    // ["a", "b"]; [] when empty.
    static QString quotedList(const QStringList& items);
};
