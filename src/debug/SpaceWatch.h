#pragma once

#include "debug/ModeOutput.h"
#include "platform/NotificationCenter.h"

#include <QList>
#include <QString>

#include <memory>

class RepeatingTimer;

// Records what the swipe detection sees: 60 times a second it reads every
// display's current desktop and the five input clocks, and logs a line when
// the desktops or the swipe state change; it also logs each workspace
// desktop-change notification. Ends itself with status 0 after 60 s. Main
// thread only.
class SpaceWatch {
public:
    static constexpr double sampleInterval = 1.0 / 60.0;
    static constexpr double duration = 60.0;

    SpaceWatch(ModeOutput::LineSink sink, ModeOutput::Exit exit);
    ~SpaceWatch();
    SpaceWatch(const SpaceWatch&) = delete;
    SpaceWatch& operator=(const SpaceWatch&) = delete;

    // Every display's current space id, in the window server's order.
    static QList<quint64> currentSpaces();
    // "[5, 12]".
    static QString listText(const QList<quint64>& ids);

private:
    void tick();
    QString stamp() const;

    ModeOutput::LineSink sink_;
    ModeOutput::Exit exit_;
    double start_ = 0;
    QList<quint64> spaces_;
    bool live_ = false;
    platform::NotificationCenter::Subscription observer_;
    std::unique_ptr<RepeatingTimer> timer_;
};

// "--space-watch LOGPATH": the watch for the life of the process.
void runSpaceWatch(const QString& logPath, ModeOutput::Exit exit);
