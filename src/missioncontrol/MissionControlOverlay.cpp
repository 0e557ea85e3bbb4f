#include "missioncontrol/MissionControlOverlay.h"

#include "missioncontrol/MissionControlHost.h"
#include "missioncontrol/OverlayPanel.h"
#include "missioncontrol/PillsView.h"
#include "platform/Scheduler.h"
#include "platform/Workspace.h"
#include "store/LogFile.h"
#include "store/Settings.h"
#include "store/Timers.h"
#include "switching/Accessibility.h"

#include <QPointer>
#include <QUrl>

#include <cmath>

namespace {

QString seconds(double value)
{
    return QStringLiteral("+") + QString::number(value, 'f', 2) + QStringLiteral("s");
}

} // namespace

double MissionControlOverlay::settledInterval()
{
    return MissionControlHost::isWindowManager() ? fastInterval : 0.1;
}

MissionControlOverlay::MissionControlOverlay(SpaceEngine& engine, Settings& settings, Accessibility& access)
    : engine_(engine)
    , settings_(settings)
    , access_(access)
    , dock_(access)
    , detector_(dock_)
{
    std::weak_ptr<bool> alive = alive_;
    detector_.onChange = [this, alive](bool open) {
        if (alive.expired())
            return;
        if (open)
            didOpen();
        else
            didClose();
        if (onOpenChange)
            onOpenChange(open);
    };
    detector_.onDockActivity = [this, alive] {
        if (alive.expired())
            return;
        lastChange_ = platform::now();
        refresh();
    };
}

MissionControlOverlay::~MissionControlOverlay()
{
    detector_.onChange = nullptr;
    detector_.onDockActivity = nullptr;
    if (clickTap_ != 0)
        platform::EventTap::release(clickTap_);
    for (auto& [uuid, panel] : panels_)
        delete panel;
}

void MissionControlOverlay::start()
{
    detector_.startPolling();
}

void MissionControlOverlay::stop()
{
    detector_.stopPolling();
    mouseDownAt_.reset();
    if (clickTap_ != 0)
        platform::EventTap::enable(clickTap_, false);
    geometryTimer_.reset();
    hidePills(false);
}

void MissionControlOverlay::openMissionControl()
{
    platform::Workspace::open(QUrl::fromLocalFile(missionControlPath));
}

bool MissionControlOverlay::isClickTapEnabled() const
{
    return clickTap_ != 0 && platform::EventTap::isEnabled(clickTap_);
}

std::optional<double> MissionControlOverlay::geometryInterval() const
{
    if (!geometryTimer_ || !geometryTimer_->isValid())
        return std::nullopt;
    return geometryTimer_->interval();
}

// --- open and close -----------------------------------------------------------

void MissionControlOverlay::didOpen()
{
    lastPills_.clear();
    lastChange_ = platform::now();
    expandedAt_.reset();
    passes_ = 0;
    passSeconds_ = 0;
    changes_.clear();
    LogFile::missionControl().write(QStringLiteral("opened (noticed by ") + detector_.lastTrigger()
                                    + QStringLiteral(")"));
    scheduleGeometryTimer(fastInterval);
    mouseDownAt_.reset();
    if (clickTap_ == 0) {
        using platform::EventTap::EventType;
        std::weak_ptr<bool> alive = alive_;
        clickTap_ = platform::EventTap::createListenOnly(
            platform::EventTap::maskBit(EventType::leftMouseDown) | platform::EventTap::maskBit(EventType::leftMouseUp),
            [this, alive](const platform::EventTap::Event& event) {
                if (!alive.expired())
                    tapEvent(event);
            });
        // Refused: labels still work, clicks are not watched; the next open tries again.
        if (clickTap_ == 0)
            return;
    }
    platform::EventTap::enable(clickTap_, true);
}

void MissionControlOverlay::didClose()
{
    mouseDownAt_.reset();
    if (clickTap_ != 0)
        platform::EventTap::enable(clickTap_, false);
    geometryTimer_.reset();
    hidePills(false);
    const bool trusted = access_.trusted();
    const double now = platform::now();
    const double opened = detector_.openedAt();
    QString line = QStringLiteral("closed (ax=") + (trusted ? QStringLiteral("true") : QStringLiteral("false"))
        + QStringLiteral("); ");
    const double mean = passes_ > 0 ? passSeconds_ * 1000 / passes_ : 0;
    line += QString::number(passes_) + QStringLiteral(" passes, ") + QString::number(mean, 'f', 1)
        + QStringLiteral(" ms each");
    line += QStringLiteral("; open ") + seconds(now - opened);
    line += QStringLiteral(", row expanded ") + (expandedAt_ ? seconds(*expandedAt_ - opened) : QStringLiteral("never"));
    line += QStringLiteral(", layout: ")
        + (changes_.isEmpty() ? QStringLiteral("none") : changes_.join(QLatin1Char(' ')));
    QStringList notes;
    for (const auto& note : detector_.dockNotifications())
        notes.append(note.name + QLatin1Char(' ') + seconds(note.at));
    line += QStringLiteral(", dock notifications at ")
        + (notes.isEmpty() ? QStringLiteral("none") : notes.join(QLatin1Char(' ')));
    line += QStringLiteral("; last pass:\n")
        + (lastReport_.isEmpty() ? QStringLiteral("(no accessibility data)") : lastReport_);
    LogFile::missionControl().write(line);
    if (!trusted && settings_.mcLabelsEnabled() && onClosedWithoutAccess)
        onClosedWithoutAccess();
}

void MissionControlOverlay::refresh()
{
    if (!detector_.check(MissionControlDetector::pollTrigger))
        return;
    if (!settings_.mcLabelsEnabled() || !access_.trusted() || platform::now() < suppressUntil_)
        return;
    layoutPass();
}

void MissionControlOverlay::scheduleGeometryTimer(double interval)
{
    if (geometryTimer_ && geometryTimer_->isValid() && std::abs(geometryTimer_->interval() - interval) < 0.001)
        return;
    std::weak_ptr<bool> alive = alive_;
    geometryTimer_ = RepeatingTimer::start(interval, std::nullopt, [this, alive] {
        if (!alive.expired())
            refresh();
    });
}

void MissionControlOverlay::noteChange(const QString& word)
{
    if (changes_.size() >= notesLimit)
        return;
    changes_.append(word + seconds(platform::now() - detector_.openedAt()));
}

void MissionControlOverlay::hidePills(bool animated)
{
    lastPills_.clear();
    for (auto& [uuid, panel] : panels_) {
        if (!panel->isVisible())
            continue;
        QPointer<OverlayPanel> target(panel);
        panel->pills().fadeOut(animated, [target] {
            if (target)
                target->orderOut();
        });
    }
}

// --- clicks ---------------------------------------------------------------------

void MissionControlOverlay::tapEvent(const platform::EventTap::Event& event)
{
    using platform::EventTap::EventType;
    switch (event.type) {
    case EventType::tapDisabledByTimeout:
    case EventType::tapDisabledByUserInput:
        if (clickTap_ != 0 && detector_.isOpen())
            platform::EventTap::enable(clickTap_, true);
        return;
    case EventType::leftMouseDown:
        mouseDownAt_ = event.location;
        return;
    case EventType::leftMouseUp: {
        if (!mouseDownAt_)
            return;
        const QPointF down = *mouseDownAt_;
        mouseDownAt_.reset();
        const double distance = std::hypot(event.location.x() - down.x(), event.location.y() - down.y());
        if (distance <= clickSlop)
            handleClick(event.location);
        return;
    }
    }
}

void MissionControlOverlay::handleClick(const QPointF& point)
{
    if (!detector_.isOpen())
        return;
    const auto inside = [&](const QList<QRectF>& frames) {
        return std::any_of(frames.cbegin(), frames.cend(), [&](const QRectF& frame) { return frame.contains(point); });
    };
    if (inside(barFrames_) && !inside(thumbnailFrames_))
        return;
    noteChange(QStringLiteral("click"));
    suppressUntil_ = platform::now() + clickSuppression;
    hidePills(true);
}

// --- the press route -------------------------------------------------------------

std::optional<DockAccess::Item> MissionControlOverlay::findItem(qint64 number)
{
    for (const auto& row : dock_.rows()) {
        for (const auto& item : row.items) {
            if (item.desktopNumber() == number)
                return item;
        }
    }
    return std::nullopt;
}

void MissionControlOverlay::switchTo(qint64 number, std::function<void(bool)> done)
{
    auto completion = std::make_shared<std::function<void(bool)>>(std::move(done));
    const auto finish = [completion](bool pressed) {
        if (*completion)
            (*completion)(pressed);
    };
    if (!access_.trusted()) {
        finish(false);
        return;
    }
    switchTimer_.reset();
    suppressUntil_ = platform::now() + switchSuppression;
    hidePills(false);
    const double start = platform::now();
    if (!detector_.check(MissionControlDetector::pollTrigger))
        openMissionControl();
    std::weak_ptr<bool> alive = alive_;
    switchTimer_ = RepeatingTimer::start(pressPoll, 0.0, [this, alive, start, number, completion] {
        // A gone overlay never answers.
        if (alive.expired())
            return;
        pressTick(start, number, completion);
    });
}

void MissionControlOverlay::pressTick(double start, qint64 number,
                                      const std::shared_ptr<std::function<void(bool)>>& done)
{
    const auto finish = [done](bool pressed) {
        if (*done)
            (*done)(pressed);
    };
    const double elapsed = platform::now() - start;
    if (elapsed >= pressDelay) {
        if (auto item = findItem(number)) {
            // Keep the completion alive past the timer it belongs to.
            const auto keep = done;
            switchTimer_.reset();
            if (!dock_.press(*item)) {
                finish(false);
                return;
            }
            std::weak_ptr<bool> alive = alive_;
            runAfter(confirmationDelay, [this, alive, number, keep] {
                if (alive.expired()) {
                    if (*keep)
                        (*keep)(true);
                    return;
                }
                confirmPress(number, keep);
            });
            return;
        }
    }
    if (elapsed > giveUpTime) {
        const auto keep = done;
        switchTimer_.reset();
        if (detector_.check(MissionControlDetector::pollTrigger))
            openMissionControl();
        if (*keep)
            (*keep)(false);
    }
}

void MissionControlOverlay::confirmPress(qint64 number, const std::shared_ptr<std::function<void(bool)>>& done)
{
    const auto finish = [done](bool pressed) {
        if (*done)
            (*done)(pressed);
    };
    if (!detector_.check(MissionControlDetector::pollTrigger)) {
        finish(true);
        return;
    }
    if (auto item = findItem(number)) {
        finish(dock_.press(*item));
        return;
    }
    finish(true);
}
