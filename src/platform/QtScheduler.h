#pragma once

#include "platform/Scheduler.h"

#include <QHash>
#include <QMutex>
#include <QObject>
#include <QThreadPool>

namespace platform {

class QtScheduler final : public Scheduler {
public:
    QtScheduler();
    ~QtScheduler() override;

    double now() const override;
    TimerToken schedule(double delaySeconds, std::function<void()> work) override;
    void cancel(TimerToken token) override;
    void runInBackground(const char* queueLabel, std::function<void()> work) override;
    void finishBackgroundWork() override;

private:
    void arm(TimerToken token, double due);
    void fire(TimerToken token);

    QObject context_;
    QMutex mutex_;
    QHash<TimerToken, std::function<void()>> pending_;
    TimerToken nextToken_ = 1;
    QHash<QByteArray, QThreadPool*> queues_;
};

} // namespace platform
