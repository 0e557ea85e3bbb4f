#pragma once

#include "debug/ModeOutput.h"
#include "platform/Accessibility.h"

#include <QHash>
#include <QPointF>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class RepeatingTimer;

// Writes the accessibility tree of a running application (the Dock unless
// told otherwise) into a log, so the structure of Mission Control's desktop
// bar can be studied on any system. It waits up to 10 s for Mission Control
// (or dumps at once), may first move and click the pointer, and may press
// one element by its identifier, title or description. Ends itself: status 1
// when no such application runs, else 0 (a failed press is reported, not an
// error: a dump is a report, not a command). Main thread only.
//
// A tree that loops back to an ancestor is not walked again below the
// repeated element, and the walk stops after elementLimit elements or
// textLimit characters, so a broken or huge tree cannot hang the dump.
class AxDump {
public:
    struct Options {
        QString app = QStringLiteral("com.apple.dock");
        // Deepest level dumped; the root is level 0 (0 or less: the root alone).
        qint64 depth = defaultDepth;
        // Dump at the first tick instead of waiting for Mission Control.
        bool now = false;
        // After the dump, press the element with this identifier, title or description.
        std::optional<QString> press;
        // Also list every attribute of every element.
        bool attrs = false;
        // "X,Y": move the pointer there first.
        std::optional<QString> mouse;
    };

    // The walk's lines and the first element met for each identifier, title
    // and description.
    struct Tree {
        QStringList lines;
        QHash<QString, platform::AX::Element> index;
        // Elements written and the characters of all lines; the walk stops
        // at elementLimit elements or textLimit characters.
        qsizetype elements = 0;
        qsizetype characters = 0;
        bool stoppedAtLimit = false;
    };

    static constexpr qint64 defaultDepth = 7;
    static constexpr double tickInterval = 0.1;
    // Seconds to wait for Mission Control before dumping anyway.
    static constexpr double waitLimit = 10.0;
    // Seconds between the pointer step and the dump.
    static constexpr double pointerSettle = 0.7;
    // Seconds between a posted button-down and its button-up.
    static constexpr double buttonUpDelay = 0.08;
    static constexpr qsizetype elementLimit = 50000;
    // A deep tree's indentation grows with the square of its depth.
    static constexpr qsizetype textLimit = 8'000'000;
    // Largest coordinate taken for "--mouse", in points.
    static constexpr double coordinateLimit = 1'000'000;
    // Characters kept of an attribute's value text.
    static constexpr qsizetype valueTextLimit = 200;

    // Clears nothing itself: writes the header through sink and starts the
    // tick timer. arguments is the whole command line (the pointer step looks
    // up "--mouse-event", "--click" and "--right-click" in it).
    AxDump(Options options, QStringList arguments, ModeOutput::LineSink sink, ModeOutput::Exit exit);
    ~AxDump();
    AxDump(const AxDump&) = delete;
    AxDump& operator=(const AxDump&) = delete;

    // The dump's settings from the command line.
    static Options optionsFrom(const QStringList& arguments);
    // A whole decimal number with an optional sign; the default depth for
    // anything else (empty, a fraction, a number out of range).
    static qint64 depthFrom(const std::optional<QString>& text);
    // Exactly two numbers separated by commas (empty pieces dropped, NaN,
    // infinity and numbers beyond coordinateLimit left out); none otherwise.
    static std::optional<QPointF> pointFrom(const QString& text);

    // Dumps root and its descendants down to depth.
    static Tree walk(const platform::AX::Element& root, qint64 depth, bool attrs);
    // " label='text'" when the attribute reads as text (empty included), else "".
    static QString stringAttribute(const platform::AX::Element& element, const QString& attribute,
                                   const QString& label);
    // An attribute value's text under "--attrs": "nil" for none, points,
    // sizes and rectangles as (x, y), (width, height), (x, y, width, height),
    // on one line and cut to valueTextLimit characters.
    static QString valueText(const std::optional<QVariant>& value);

private:
    void tick();
    // True when the tick is to go on to the dump.
    bool pointerStep(double elapsed);
    void dump(bool open, double elapsed);

    Options options_;
    QStringList arguments_;
    ModeOutput::LineSink sink_;
    ModeOutput::Exit exit_;
    double reference_ = 0;
    bool pointerStepDone_ = false;
    std::unique_ptr<RepeatingTimer> timer_;
};

// "--ax-dump LOGPATH": clears the log and runs the dump for the life of the process.
void runAccessibilityDump(const QString& logPath, const AxDump::Options& options, const QStringList& arguments,
                          ModeOutput::Exit exit);
