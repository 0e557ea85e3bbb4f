#pragma once

#include "engine/Desktop.h"

#include <QWidget>

class QLabel;
class TimeBar;

// One desktop on the Time tracking page: its 22-point tile, its shown name,
// its share of all tracked time as a bar and its stored time as a duration.
class TimeTotalsRow : public QWidget {
    Q_OBJECT
public:
    TimeTotalsRow(const Desktop& desktop, double total, QWidget* parent = nullptr);

    const Desktop& desktop() const { return desktop_; }
    QLabel* nameLabel() const { return name_; }
    QLabel* durationLabel() const { return duration_; }
    TimeBar* bar() const { return bar_; }

private:
    Desktop desktop_;
    QLabel* name_;
    TimeBar* bar_;
    QLabel* duration_;
};
