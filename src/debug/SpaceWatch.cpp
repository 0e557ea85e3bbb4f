#include "debug/SpaceWatch.h"

#include "engine/SkyLight.h"
#include "platform/Scheduler.h"
#include "store/Timers.h"
#include "switching/GestureWatch.h"

#include <QStringList>

SpaceWatch::SpaceWatch(ModeOutput::LineSink sink, ModeOutput::Exit exit)
    : sink_(std::move(sink))
    , exit_(std::move(exit))
{
    start_ = platform::now();
    spaces_ = currentSpaces();
    sink_(QStringLiteral("current spaces ") + listText(spaces_)
          + QStringLiteral(" — switch desktops now; sampling for 60 s"));
    observer_ = platform::NotificationCenter::workspaceCenter().observe(
        platform::notifications::activeSpaceDidChange, [this] {
            sink_(stamp() + QStringLiteral(" NSWorkspace activeSpaceDidChange, current ") + listText(currentSpaces()));
        });
    timer_ = RepeatingTimer::start(sampleInterval, 0.0, [this] { tick(); });
}

SpaceWatch::~SpaceWatch() = default;

QList<quint64> SpaceWatch::currentSpaces()
{
    QList<quint64> ids;
    for (const SkyLight::Display& display : SkyLight::displays())
        ids.append(display.currentSpaceID);
    return ids;
}

QString SpaceWatch::listText(const QList<quint64>& ids)
{
    QStringList parts;
    for (quint64 id : ids)
        parts.append(QString::number(id));
    return QLatin1Char('[') + parts.join(QStringLiteral(", ")) + QLatin1Char(']');
}

QString SpaceWatch::stamp() const
{
    return QString::asprintf("+%.3fs", platform::now() - start_);
}

void SpaceWatch::tick()
{
    const QList<quint64> now = currentSpaces();
    if (now != spaces_) {
        sink_(stamp() + QStringLiteral(" window server current ") + listText(now));
        spaces_ = now;
    }
    using Clock = GestureWatch::Clock;
    const double gesture = GestureWatch::secondsSinceLastEvent(Clock::gesture);
    const double scroll = GestureWatch::secondsSinceLastEvent(Clock::scroll);
    const double magnify = GestureWatch::secondsSinceLastEvent(Clock::magnify);
    const double rotate = GestureWatch::secondsSinceLastEvent(Clock::rotate);
    const double pointer = GestureWatch::secondsSinceLastEvent(Clock::pointer);
    const bool live = GestureWatch::isLivePoll(gesture, scroll, magnify, rotate, pointer);
    if (live != live_) {
        live_ = live;
        sink_(stamp()
              + QString::asprintf(" gesture clocks: swipe %s (gesture %.3f scroll %.2f magnify %.2f rotate %.2f pointer %.2f)",
                                  live ? "LIVE" : "idle", gesture, scroll, magnify, rotate, pointer));
    }
    if (platform::now() - start_ > duration) {
        timer_->invalidate();
        sink_(QStringLiteral("done"));
        exit_(0);
    }
}

void runSpaceWatch(const QString& logPath, ModeOutput::Exit exit)
{
    ModeOutput::keepUntilExit(std::make_shared<SpaceWatch>(ModeOutput::logSink(logPath), std::move(exit)));
}
