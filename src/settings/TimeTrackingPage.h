#pragma once

#include "platform/NotificationCenter.h"
#include "settings/SettingsServices.h"

#include <QList>
#include <QWidget>

class AccentButton;
class DarkToggle;
class SegmentPicker;
class SettingsCard;
class TimeTotalsRow;

// Time tracking on and off, the idle limit, the tracked time of every desktop
// as bars, "Export CSV…" and "Reset Times". Follows the settings and the
// engine (which passes on every change of the stored time).
class TimeTrackingPage : public QWidget {
    Q_OBJECT
public:
    static const QString csvFailureTitle;

    explicit TimeTrackingPage(const SettingsServices& services, QWidget* parent = nullptr);

    DarkToggle* trackToggle() const { return track_; }
    SegmentPicker* idlePicker() const { return idle_; }
    const QList<TimeTotalsRow*>& totals() const { return rows_; }
    AccentButton* exportButton() const { return export_; }
    AccentButton* resetButton() const { return reset_; }

    // Samples the current desktop's time, asks where to save, writes the CSV
    // of every desktop; a failed write is shown in an alert.
    void exportCSV();
    void reload();

private:
    SettingsServices services_;
    DarkToggle* track_;
    SegmentPicker* idle_;
    SettingsCard* totalsCard_;
    QList<TimeTotalsRow*> rows_;
    AccentButton* export_;
    AccentButton* reset_;
    platform::NotificationCenter::Subscription metaChanged_;
};
