#include "surfaces/SpaceHover.h"

#include "engine/ScreenLookup.h"
#include "engine/SpaceEngine.h"
#include "platform/Scheduler.h"
#include "platform/WindowFrame.h"
#include "store/Settings.h"
#include "store/Timers.h"
#include "surfaces/HoverPanel.h"

#include <cmath>
#include <limits>

SpaceHover::SpaceHover(SpaceEngine& engine, Settings& settings, std::function<bool()> missionControlIsOpen)
    : engine_(engine)
    , settings_(settings)
    , missionControlIsOpen_(std::move(missionControlIsOpen))
    , pinnedUntil_(-std::numeric_limits<double>::infinity())
    , opacity_(0, [this] { fadeFrame(); })
{
}

SpaceHover::~SpaceHover()
{
    if (globalMonitor_)
        platform::MouseEvents::removeMonitor(*globalMonitor_);
    if (localMonitor_)
        platform::MouseEvents::removeMonitor(*localMonitor_);
    delete panel_;
}

bool SpaceHover::isInZone(QPointF point, const QRectF& screenFrame, HoverZone zone)
{
    const double top = screenFrame.y() + screenFrame.height();
    if (point.y() < top - edgeHeight)
        return false;
    if (zone == HoverZone::wholeEdge)
        return true;
    const double middle = screenFrame.x() + screenFrame.width() / 2;
    return std::abs(point.x() - middle) <= centreShare * screenFrame.width();
}

void SpaceHover::start()
{
    if (globalMonitor_)
        return;
    using platform::MouseEventType;
    namespace Mouse = platform::MouseEvents;
    QPointer<SpaceHover> self(this);
    globalMonitor_ = Mouse::addGlobalMonitor(
        Mouse::maskFor(MouseEventType::mouseMoved) | Mouse::maskFor(MouseEventType::leftMouseDragged),
        [self](const platform::MouseEvent&) {
            if (self)
                self->pointerMoved(Mouse::mouseLocation());
        });
    localMonitor_ = Mouse::addLocalMonitor(Mouse::maskFor(MouseEventType::mouseMoved),
                                           [self](const platform::MouseEvent& event) {
                                               if (self)
                                                   self->pointerMoved(Mouse::mouseLocation());
                                               return std::optional<platform::MouseEvent>(event);
                                           });
}

void SpaceHover::stop()
{
    if (globalMonitor_)
        platform::MouseEvents::removeMonitor(*globalMonitor_);
    if (localMonitor_)
        platform::MouseEvents::removeMonitor(*localMonitor_);
    globalMonitor_.reset();
    localMonitor_.reset();
    dwellTimer_.reset();
    leaveTimer_.reset();
    hide();
}

void SpaceHover::pointerMoved(QPointF point)
{
    if (!settings_.hoverEnabled())
        return;
    const std::optional<platform::Screen> screen = ScreenLookup::screenContaining(point);
    if (!screen)
        return;
    const bool inZone = isInZone(point, screen->frame, settings_.hoverZone());
    if (panel_ && panel_->isVisible()) {
        if (!pointerNearPanel(point) && !inZone && !(platform::now() < pinnedUntil_)) {
            if (!leaveTimer_)
                startLeave();
        } else {
            leaveTimer_.reset();
        }
        return;
    }
    if (inZone && !(missionControlIsOpen_ && missionControlIsOpen_())) {
        if (!dwellTimer_)
            startDwell(screen->frame.y() + screen->frame.height());
        return;
    }
    dwellTimer_.reset();
}

bool SpaceHover::pointerNearPanel(QPointF point) const
{
    if (!panel_)
        return false;
    const QRectF frame = platform::WindowFrame::frame(panel_);
    return frame.adjusted(-stayMargin, -stayMargin, stayMargin, stayMargin).contains(point);
}

void SpaceHover::startDwell(double screenTop)
{
    QPointer<SpaceHover> self(this);
    dwellTimer_ = RepeatingTimer::start(settings_.hoverDelay(), dwellTolerance, [self, screenTop] {
        if (self)
            self->dwellEnded(screenTop);
    });
}

void SpaceHover::dwellEnded(double screenTop)
{
    // The dwell acts once.
    dwellTimer_.reset();
    const QPointF pointer = platform::MouseEvents::mouseLocation();
    if (pointer.y() < screenTop - edgeHeight)
        return;
    if (const auto screen = ScreenLookup::screenContaining(pointer))
        show(*screen, 0);
}

void SpaceHover::startLeave()
{
    QPointer<SpaceHover> self(this);
    leaveTimer_ = RepeatingTimer::start(leaveDelay, leaveTolerance, [self] {
        if (self)
            self->leaveEnded();
    });
}

void SpaceHover::leaveEnded()
{
    leaveTimer_.reset();
    if (pointerNearPanel(platform::MouseEvents::mouseLocation()))
        return;
    if (platform::now() < pinnedUntil_)
        return;
    hide();
}

void SpaceHover::show(std::optional<platform::Screen> screen, double pinSeconds)
{
    if (!screen)
        screen = platform::Screens::mainScreen();
    if (!screen)
        return;
    engine_.refresh(false);
    engine_.appsByDesktop(false);
    if (!panel_) {
        QPointer<SpaceHover> self(this);
        panel_ = new HoverPanel(
            engine_,
            [self](const Desktop& desktop) {
                if (self)
                    self->select(desktop);
            },
            [self](const SpaceApp& app, const Desktop& desktop) {
                if (self)
                    self->open(app, desktop);
            });
    }
    panel_->layout(*screen);
    pinnedUntil_ = platform::now() + pinSeconds;
    leaveTimer_.reset();
    const quint64 generation = ++generation_;
    hidingGeneration_.reset();

    if (pinSeconds > 0)
        schedulePinEnd(generation);

    if (panel_->isVisible() && !opacity_.isRunning() && opacity_.value() == 1.0)
        return;
    if (!panel_->isVisible()) {
        opacity_.jumpTo(0);
        platform::WindowFrame::orderFrontRegardless(panel_);
    }
    // A strip that was fading out comes back from where it is.
    opacity_.animateTo(1, fadeInDuration);
}

void SpaceHover::hide()
{
    if (!panel_ || !panel_->isVisible())
        return;
    hidingGeneration_ = ++generation_;
    opacity_.animateTo(0, fadeOutDuration);
}

void SpaceHover::fadeFrame()
{
    if (!panel_)
        return;
    const double value = opacity_.value();
    panel_->setWindowOpacity(value);
    if (!opacity_.isRunning() && value == 0 && hidingGeneration_ == generation_) {
        hidingGeneration_.reset();
        panel_->hide();
    }
}

bool SpaceHover::leaveRuleRuns() const
{
    return globalMonitor_ && settings_.hoverEnabled();
}

bool SpaceHover::isShowing() const
{
    return panel_ && panel_->isVisible();
}

void SpaceHover::select(const Desktop& desktop)
{
    engine_.switchTo(desktop, QStringLiteral("hover strip"));
    pin(selectionPin);
}

void SpaceHover::open(const SpaceApp& app, const Desktop& desktop)
{
    engine_.switchToThenActivate(desktop, app, QStringLiteral("hover strip app"));
    pin(selectionPin);
}

void SpaceHover::pin(double seconds)
{
    pinnedUntil_ = platform::now() + seconds;
    // A pin end already waiting for this showing runs again for the rest.
    if (pinEndGeneration_ != generation_)
        schedulePinEnd(generation_);
}

void SpaceHover::schedulePinEnd(quint64 generation)
{
    pinEndGeneration_ = generation;
    QPointer<SpaceHover> self(this);
    runAfter(pinnedUntil_ - platform::now(), [self, generation] {
        if (self)
            self->pinEnded(generation);
    });
}

void SpaceHover::pinEnded(quint64 generation)
{
    // A later show or a hide owns the strip now.
    if (generation_ != generation || pinEndGeneration_ != generation)
        return;
    pinEndGeneration_.reset();
    if (platform::now() < pinnedUntil_) {
        schedulePinEnd(generation);
        return;
    }
    // Without pointer monitors nothing else would end the showing; with them
    // the leave rule runs once for the pointer where it rests, since no move
    // may come to run it.
    if (leaveRuleRuns()) {
        const QPointF pointer = platform::MouseEvents::mouseLocation();
        const std::optional<platform::Screen> screen = ScreenLookup::screenContaining(pointer);
        const bool inZone = screen && isInZone(pointer, screen->frame, settings_.hoverZone());
        if (!pointerNearPanel(pointer) && !inZone && !leaveTimer_)
            startLeave();
        return;
    }
    hide();
}
