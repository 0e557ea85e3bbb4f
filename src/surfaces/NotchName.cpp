#include "surfaces/NotchName.h"

#include "engine/ScreenLookup.h"
#include "engine/SkyLight.h"
#include "engine/SpaceEngine.h"
#include "platform/Bundle.h"
#include "platform/MouseEvents.h"
#include "platform/Scheduler.h"
#include "platform/Screens.h"
#include "store/LogFile.h"
#include "store/Settings.h"
#include "store/SpaceStore.h"
#include "store/Timers.h"
#include "surfaces/NotchGeometry.h"
#include "surfaces/NotchPanel.h"
#include "surfaces/StandInNotchPanel.h"

#include <QPointer>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace {

using Clock = GestureWatch::Clock;

// The display id of a screen's description: a 32-bit unsigned number.
std::optional<quint32> displayID(const platform::Screen& screen)
{
    const QVariant value = screen.deviceDescription.value(QStringLiteral("NSScreenNumber"));
    if (value.typeId() != QMetaType::UInt)
        return std::nullopt;
    return value.toUInt();
}

} // namespace

QString NotchName::changedNotification()
{
    const QString identifier = platform::Bundle::identifier().value_or(QStringLiteral("app.tessaroom"));
    const qsizetype dot = identifier.lastIndexOf(QLatin1Char('.'));
    return (dot > 0 ? identifier.left(dot) : identifier) + QStringLiteral(".notchLabelChanged");
}

NotchName::NotchName(SpaceEngine& engine, Settings& settings)
    : engine_(engine)
    , settings_(settings)
    , ghostedAt_(platform::now())
{
}

NotchName::~NotchName() = default;

bool NotchName::shouldShow(bool notchEnabled, bool standsIn, Tile presence, bool missionControlOpen)
{
    if (missionControlOpen)
        return false;
    return notchEnabled || (standsIn && presence == Tile::dropped);
}

void NotchName::start()
{
    if (!started_) {
        started_ = true;
        QPointer<NotchName> self(this);
        gestures_.onChange = [self](bool swiping) {
            if (self)
                self->swipeChanged(swiping);
        };
        auto& center = platform::NotificationCenter::defaultCenter();
        subscriptions_.push_back(center.observe(EngineNotifications::activeSpaceDidChange, [this] { landed(); }));
        QList<QString> refreshing{EngineNotifications::spacesDidChange, SpaceStore::changedNotification,
                                  platform::notifications::screenParametersDidChange};
        if (!tileChangedNotification.isEmpty())
            refreshing.append(tileChangedNotification);
        for (const QString& name : refreshing)
            subscriptions_.push_back(center.observe(name, [this] { update(); }));
    }
    update();
}

void NotchName::stop()
{
    if (!started_)
        return;
    started_ = false;
    subscriptions_.clear();
    gestures_.stop();
    for (auto& [uuid, panel] : panels_)
        panel->orderOut();
    panels_.clear();
    panelView_.clear();
    announce();
}

void NotchName::update()
{
    if (!started_)
        return;
    const Tile presence = tilePresence ? tilePresence() : Tile::inBar;
    QSet<QString> seen;
    const bool enabled = settings_.notchEnabled();
    if (shouldShow(enabled, settings_.notchStandsIn(), presence, missionControlOpen_)) {
        const NotchSide side = settings_.notchSide();
        const NotchContent content = settings_.notchContent();
        for (const NotchGeometry::Notch& notch : NotchGeometry::notches()) {
            const std::optional<quint32> id = displayID(notch.screen);
            if (!id)
                continue;
            const std::optional<QString> uuid = SkyLight::displayUUID(*id);
            if (!uuid)
                continue;
            const std::optional<quint64> spaceID = engine_.currentSpaceID(*uuid);
            if (!spaceID)
                continue;
            const std::optional<Desktop> desktop = engine_.desktopWithID(*spaceID);
            if (!desktop)
                continue;
            seen.insert(*uuid);
            auto& slot = panels_[*uuid];
            if (!slot) {
                slot = std::make_unique<NotchPanel>(ghosted_);
                panelView_.insert(*uuid, slot.get());
            }
            slot->setOnClick(onClick);
            slot->show(notch.rect, *desktop, side, content);
        }
    }
    for (auto& [uuid, panel] : panels_) {
        if (!seen.contains(uuid) && panel->isOnScreen())
            panel->orderOut();
    }

    const bool door = presence != Tile::inBar;
    for (auto& [uuid, panel] : panels_)
        panel->setDoor(door);
    if (previewLabel_)
        previewLabel_->setDoor(door);

    if (seen.isEmpty()) {
        gestures_.stop();
    } else {
        gestures_.start();
        if (ghosted_ && !gestures_.swiping()) {
            ++unghostGeneration_;
            scheduleReturn(unghostGeneration_, QStringLiteral("settled"),
                           std::max(0.0, settleSeconds - gestures_.secondsSinceGesture()));
        }
    }

    const bool nowStandingIn = !seen.isEmpty() && !enabled;
    if (nowStandingIn != standingIn_) {
        standingIn_ = nowStandingIn;
        LogFile::switches().write(nowStandingIn ? QStringLiteral("notch label stands in for the tile the bar dropped")
                                                : QStringLiteral("notch label steps back; the tile is on the bar again"));
    }
    announce();
}

void NotchName::landed()
{
    update();
    if (!gestures_.swiping()) {
        ++unghostGeneration_;
        bringBack(QStringLiteral("landed"));
    }
}

void NotchName::setMissionControlOpen(bool open)
{
    missionControlOpen_ = open;
    if (started_)
        update();
}

bool NotchName::isShowing() const
{
    for (const auto& [uuid, panel] : panels_) {
        if (panel->isOnScreen())
            return true;
    }
    return previewLabel_ && previewLabel_->isOnScreen();
}

QWidget* NotchName::visibleLabelView() const
{
    for (const auto& [uuid, panel] : panels_) {
        if (panel->isOnScreen())
            return panel->host();
    }
    if (previewLabel_ && previewLabel_->isOnScreen())
        return previewLabel_->host();
    return nullptr;
}

QList<FloatingPanel*> NotchName::previewPanels() const
{
    QList<FloatingPanel*> result;
    for (const auto& panel : previewPanels_)
        result.append(panel.get());
    return result;
}

void NotchName::announce()
{
    const bool showing = isShowing();
    if (showing == lastVisible_)
        return;
    lastVisible_ = showing;
    platform::NotificationCenter::defaultCenter().post(changedNotification());
}

// --- swipes ---------------------------------------------------------------------

void NotchName::swipeChanged(bool swiping)
{
    ++unghostGeneration_;
    if (swiping) {
        if (!ghosted_) {
            ghosted_ = true;
            for (auto& [uuid, panel] : panels_)
                fade(*panel, 0, fadeOutSeconds);
            ghostedAt_ = platform::now();
        }
        return;
    }
    ++unghostGeneration_;
    scheduleReturn(unghostGeneration_, QStringLiteral("settled"),
                   std::max(0.0, settleSeconds - gestures_.secondsSinceGesture()));
}

void NotchName::scheduleReturn(quint64 generation, const QString& reason, double delay)
{
    QPointer<NotchName> self(this);
    runAfter(delay, [self, generation, reason] {
        if (self)
            self->returnCheck(generation, reason);
    });
}

void NotchName::returnCheck(quint64 generation, const QString& reason)
{
    if (generation != unghostGeneration_ || gestures_.swiping())
        return;
    const double since = gestures_.secondsSinceGesture();
    if (since < settleSeconds) {
        ++unghostGeneration_;
        scheduleReturn(unghostGeneration_, reason, std::max(0.0, settleSeconds - since));
        return;
    }
    bringBack(reason);
}

void NotchName::bringBack(const QString& reason)
{
    if (!ghosted_)
        return;
    ghosted_ = false;
    for (auto& [uuid, panel] : panels_)
        fade(*panel, 1, fadeInSeconds);
    const double ms = (platform::now() - ghostedAt_) * 1000;
    LogFile::switches().write(
        QStringLiteral("notch label ghosted for a swipe, back (%1) after %2 ms; clocks: gesture %3 pointer %4")
            .arg(reason, QString::number(ms, 'f', 0),
                 QString::number(GestureWatch::secondsSinceLastEvent(Clock::gesture), 'f', 2),
                 QString::number(GestureWatch::secondsSinceLastEvent(Clock::pointer), 'f', 2)));
}

void NotchName::fade(NotchPanel& panel, double alpha, double seconds)
{
    panel.animateAlpha(alpha, TweenCurve::linear(seconds));
}

// --- preview --------------------------------------------------------------------

void NotchName::showPreview(double seconds)
{
    hidePreview();
    const std::optional<Desktop> desktop = engine_.activeDesktop();
    if (!desktop)
        return;
    std::optional<platform::Screen> screen = ScreenLookup::screenContaining(platform::MouseEvents::mouseLocation());
    if (!screen)
        screen = platform::Screens::mainScreen();
    if (!screen)
        return;
    QRectF notch;
    if (const auto rect = NotchGeometry::notchRect(*screen)) {
        notch = *rect;
    } else {
        notch = NotchGeometry::standInFrame(screen->frame, screen->visibleFrame);
        auto drawn = std::make_unique<StandInNotchPanel>(notch);
        drawn->orderFront();
        previewPanels_.push_back(std::move(drawn));
    }
    auto label = std::make_unique<NotchPanel>(false);
    label->setOnClick(onClick);
    label->show(notch, *desktop, settings_.notchSide(), settings_.notchContent());
    previewLabel_ = label.get();
    previewPanels_.push_back(std::move(label));
    announce();

    const quint64 generation = ++previewGeneration_;
    QPointer<NotchName> self(this);
    runAfter(seconds, [self, generation] {
        if (self && self->previewGeneration_ == generation)
            self->hidePreview();
    });
}

void NotchName::hidePreview()
{
    for (auto& panel : previewPanels_)
        panel->orderOut();
    previewPanels_.clear();
    previewLabel_ = nullptr;
    announce();
}
