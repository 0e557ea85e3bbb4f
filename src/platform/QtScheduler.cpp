#include "platform/QtScheduler.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QMutexLocker>
#include <QTimer>

#include <cmath>

namespace platform {

QtScheduler::QtScheduler()
{
    if (auto* app = QCoreApplication::instance())
        context_.moveToThread(app->thread());
}

QtScheduler::~QtScheduler()
{
    finishBackgroundWork();
    qDeleteAll(queues_);
}

void QtScheduler::finishBackgroundWork()
{
    for (QThreadPool* pool : std::as_const(queues_))
        pool->waitForDone();
}

double QtScheduler::now() const
{
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

TimerToken QtScheduler::schedule(double delaySeconds, std::function<void()> work)
{
    TimerToken token;
    {
        QMutexLocker lock(&mutex_);
        token = nextToken_++;
        pending_.insert(token, std::move(work));
    }
    const double delay = std::isfinite(delaySeconds) ? std::max(0.0, delaySeconds) : 0.0;
    const double due = now() + delay;
    // The timer is created on the main thread so that work always runs there.
    QMetaObject::invokeMethod(&context_, [this, token, due] { arm(token, due); }, Qt::QueuedConnection);
    return token;
}

void QtScheduler::arm(TimerToken token, double due)
{
    {
        QMutexLocker lock(&mutex_);
        if (!pending_.contains(token))
            return; // cancelled meanwhile
    }
    // Qt timers take an int of milliseconds: longer delays are re-armed in steps.
    const double remainingMs = std::max(0.0, (due - now()) * 1000.0);
    const double longestMs = double(std::numeric_limits<int>::max());
    if (remainingMs > longestMs) {
        QTimer::singleShot(int(longestMs), Qt::CoarseTimer, &context_, [this, token, due] { arm(token, due); });
        return;
    }
    QTimer::singleShot(int(remainingMs), Qt::PreciseTimer, &context_, [this, token] { fire(token); });
}

void QtScheduler::cancel(TimerToken token)
{
    QMutexLocker lock(&mutex_);
    pending_.remove(token);
}

void QtScheduler::fire(TimerToken token)
{
    std::function<void()> work;
    {
        QMutexLocker lock(&mutex_);
        work = pending_.take(token);
    }
    if (work)
        work();
}

void QtScheduler::runInBackground(const char* queueLabel, std::function<void()> work)
{
    QThreadPool*& pool = queues_[QByteArray(queueLabel)];
    if (!pool) {
        pool = new QThreadPool;
        pool->setMaxThreadCount(1); // a serial queue
    }
    pool->start(std::move(work));
}

} // namespace platform
