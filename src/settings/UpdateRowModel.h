#pragma once

#include "update/UpdateFeed.h"
#include "update/Updates.h"

#include <QList>
#include <QString>

#include <optional>

// What the About page's update row shows for one state of the updater: the
// title, the caption and the control (buttons, a progress bar or a busy
// indicator). Pure: the texts depend only on the state given, so they are
// tested without widgets.
struct UpdateRowModel {
    // What the row reads of the updater, and the current time.
    struct State {
        std::optional<UpdateFeed> available{};
        bool checking = false;
        Updates::Phase phase{};
        std::optional<double> lastChecked{}; // seconds since 1970, last successful read
        std::optional<double> lastAttempt{}; // seconds since 1970, last finished check
        std::optional<QString> lastOutcome{};
        QString currentVersion{};
        double now = 0; // seconds since 1970

        static State of(const Updates& updates, double now);
    };

    enum class Action { checkNow, skip, whatsNew, download, showImage, installAndRelaunch, tryAgain };

    struct Button {
        Action action = Action::checkNow;
        QString title{};
        bool prominent = false;
        bool enabled = true;
        friend bool operator==(const Button&, const Button&) = default;
    };

    enum class Control { buttons, progressBar, busyIndicator };

    QString title;
    QString caption;
    QString toolTip; // the whole title when the shown one was shortened
    Control control = Control::buttons;
    QList<Button> buttons; // in order, for Control::buttons
    double fraction = 0;   // 0 to 1, for Control::progressBar

    static UpdateRowModel make(const State& state);

    // The caption of the row while nothing is on offer.
    static QString lastCheckText(const State& state);
    // "a moment ago" under a minute since the moment, else the relative time.
    static QString moment(double secondsSince);
    // The failure on one line (runs of white space, line breaks too, become
    // one blank) with its first character in upper case, then
    // ". Nothing was installed." (a failure that already ends its sentence
    // keeps its own stop; so does an outcome in the last-check text).
    static QString failureCaption(const QString& failure);

    // A version as titles show it: one over maximumShownVersion characters
    // keeps its start and end around an ellipsis, so no title outgrows the
    // window.
    static QString shownVersion(const QString& version);
    static constexpr qsizetype maximumShownVersion = 40;

    static const QString installNote;
};
