#include "debug/McWatch.h"

#include "engine/SkyLight.h"
#include "missioncontrol/DockAccess.h"
#include "missioncontrol/MissionControlDetector.h"
#include "missioncontrol/MissionControlHost.h"
#include "platform/Accessibility.h"
#include "platform/Scheduler.h"
#include "platform/WindowServer.h"
#include "store/Timers.h"

#include <QVariantMap>

McWatch::McWatch(Accessibility& access, ModeOutput::LineSink sink, ModeOutput::Exit exit)
    : sink_(std::move(sink))
    , exit_(std::move(exit))
{
    const bool trusted = platform::AX::isProcessTrustedWithOptions(false);
    sink_(QStringLiteral("trusted=%1 screens=%2").arg(trusted ? u"true" : u"false", ModeOutput::screenFrames())
          + QStringLiteral(" — open Mission Control or swipe between desktops now; sampling for 20 s"));
    dock_ = std::make_unique<DockAccess>(access);
    start_ = platform::now();
    timer_ = RepeatingTimer::start(sampleInterval, 0.0, [this] { tick(); });
}

McWatch::~McWatch() = default;

static double numberIn(const QVariantMap& map, const QString& key)
{
    return map.value(key).toDouble();
}

QString McWatch::sample()
{
    QString text = QStringLiteral("open=%1\n").arg(MissionControlDetector::isMissionControlOpen() ? 1 : 0);
    const QString owner = MissionControlHost::ownerName();
    const QVariantList windows = platform::WindowServer::windowListCopyWindowInfo(
        platform::WindowServer::windowListOptionOnScreenOnly, 0).toList();
    for (const QVariant& entry : windows) {
        const QVariantMap window = entry.toMap();
        if (window.value(QStringLiteral("kCGWindowOwnerName")).toString() != owner)
            continue;
        const qint64 layer = SkyLight::signedValue(window.value(QStringLiteral("kCGWindowLayer"))).value_or(0);
        if (layer < 0)
            continue;
        const QVariantMap bounds = window.value(QStringLiteral("kCGWindowBounds")).toMap();
        text += QString::asprintf("  %s window layer=%lld %.0f,%.0f %.0fx%.0f\n", qUtf8Printable(owner),
                                  static_cast<long long>(layer), numberIn(bounds, QStringLiteral("X")),
                                  numberIn(bounds, QStringLiteral("Y")), numberIn(bounds, QStringLiteral("Width")),
                                  numberIn(bounds, QStringLiteral("Height")));
    }
    for (const DockAccess::Row& row : dock_->rows()) {
        const QString bar = row.bar ? ModeOutput::rectText(*row.bar) : QStringLiteral("-");
        text += QStringLiteral("  display=%1 bar=%2\n").arg(row.displayID).arg(bar);
        for (const DockAccess::Item& item : row.items) {
            text += QString::asprintf("    '%s' %.0f,%.0f %.0fx%.0f\n", qUtf8Printable(item.description),
                                      item.frame.x(), item.frame.y(), item.frame.width(), item.frame.height());
        }
    }
    return text;
}

void McWatch::tick()
{
    const double t = platform::now() - start_;
    const QString text = sample();
    if (text != lastSample_) {
        sink_(QString::asprintf("t=%.2f ", t) + text);
        lastSample_ = text;
    }
    if (t > duration) {
        timer_->invalidate();
        sink_(QStringLiteral("done"));
        exit_(0);
    }
}

void runMissionControlWatch(const QString& logPath, Accessibility& access, ModeOutput::Exit exit)
{
    ModeOutput::keepUntilExit(std::make_shared<McWatch>(access, ModeOutput::logSink(logPath), std::move(exit)));
}
