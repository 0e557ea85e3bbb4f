#pragma once

#include "debug/LateModeContext.h"
#include "engine/Desktop.h"
#include "engine/SpaceApp.h"
#include "store/LogFile.h"

#include <QString>

#include <memory>
#include <optional>

// The "--selftest" mode: inside the launched app it drives a short timed
// script of real desktop switches and surface toggles, checks after each step
// what the engine, the switcher and the surfaces report, prints one
// "PASS <text>" or "FAIL <text>" line per check and ends the process with 0
// when every check passed, else 1. It only reads the app; a failed check never
// stops the script. It leaves the user on the desktop where it started: a
// return goes through jump back only while that still leads there.
class SelfTest : public std::enable_shared_from_this<SelfTest> {
public:
    // Starts the run and returns once the first switch is requested; the
    // phases run from the main loop on the timer helpers. transcript, when
    // given, is cleared first and gets every line too.
    static void run(const LateModeContext& context, std::optional<LogFile> transcript);

    // The first phase comes this long after the first request (seconds).
    static constexpr double arrivalWait = 0.8;

    SelfTest(const LateModeContext& context, std::optional<LogFile> transcript);

private:
    void start();
    void checkArrival();
    void checkHudAndHover();
    void checkReturn();
    void checkStep();
    void checkFinalReturn();
    void finish();

    // One check: "PASS text" or "FAIL text"; a failure is counted.
    void report(const QString& text, bool pass);
    // A line that is not a check.
    void say(const QString& line);
    // "<n>ms" from the request time to time, truncated after rounding to
    // whole microseconds.
    QString millisecondsSince(double time) const;
    // Back to the start desktop: jump back while it leads there, else a
    // direct switch.
    void returnToStart();
    bool isOnStart() const;
    void after(double seconds, void (SelfTest::*phase)());

    LateModeContext context_;
    std::optional<LogFile> transcript_;
    int failures_ = 0;
    Desktop start_;
    Desktop target_;
    std::optional<SpaceApp> opened_;
    double requestTime_ = 0;
    std::optional<double> arrivalTime_;
    std::optional<Desktop> stepDesktop_;
    std::optional<bool> stepResult_;
    // The switch tag's display time as the arrival checks read it (seconds).
    double hudSeconds_ = 0;
};
