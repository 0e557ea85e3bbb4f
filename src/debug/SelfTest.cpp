#include "debug/SelfTest.h"

#include "debug/ModeOutput.h"
#include "engine/SpaceEngine.h"
#include "missioncontrol/MissionControlOverlay.h"
#include "menubar/StatusBarController.h"
#include "platform/Accessibility.h"
#include "platform/Scheduler.h"
#include "platform/StatusBar.h"
#include "platform/Workspace.h"
#include "store/Settings.h"
#include "store/Timers.h"
#include "surfaces/SpaceHover.h"
#include "surfaces/SwitchHUD.h"
#include "switching/DesktopSwitcher.h"
#include "switching/SystemShortcuts.h"

#include <cmath>

namespace {

// After the arrival checks (seconds, plus the switch tag's duration).
constexpr double hudCheckDelay = 0.6;
constexpr double returnCheckDelay = 2.2;
// The hover strip stays pinned this long; each hover check comes after
// hoverCheckDelay.
constexpr double hoverPinTime = 1.0;
constexpr double hoverCheckDelay = 0.4;
constexpr double stepCheckDelay = 1.6;
constexpr double finalCheckDelay = 1.2;

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

QString trimmedOfSpacesAndTabs(const QString& text)
{
    const auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

SelfTest::SelfTest(const LateModeContext& context, std::optional<LogFile> transcript)
    : context_(context)
    , transcript_(std::move(transcript))
{
}

void SelfTest::run(const LateModeContext& context, std::optional<LogFile> transcript)
{
    std::make_shared<SelfTest>(context, std::move(transcript))->start();
}

void SelfTest::after(double seconds, void (SelfTest::*phase)())
{
    runAfter(seconds, [self = shared_from_this(), phase] { ((*self).*phase)(); });
}

void SelfTest::report(const QString& text, bool pass)
{
    say((pass ? QStringLiteral("PASS ") : QStringLiteral("FAIL ")) + text);
    if (!pass)
        ++failures_;
}

void SelfTest::say(const QString& line)
{
    context_.out << line << Qt::endl;
    if (transcript_)
        transcript_->append(line);
}

QString SelfTest::millisecondsSince(double time) const
{
    // Epoch-second doubles keep about a quarter of a microsecond: whole
    // microseconds first, so 0.3 s reads 300ms and not 299ms.
    const qint64 microseconds = std::llround((time - requestTime_) * 1e6);
    return QString::number(microseconds / 1000) + QStringLiteral("ms");
}

bool SelfTest::isOnStart() const
{
    const auto active = context_.engine.activeDesktop();
    return active && active->id() == start_.id();
}

void SelfTest::returnToStart()
{
    SpaceEngine& engine = context_.engine;
    const auto last = engine.lastDesktop();
    // After a switch that failed, jump back would lead elsewhere: to the
    // desktop before the start, or to the target.
    if (last && last->id() == start_.id()) {
        engine.jumpBack();
        return;
    }
    engine.switchTo(engine.desktopWithID(start_.id()).value_or(start_), QStringLiteral("selftest"));
}

void SelfTest::start()
{
    SpaceEngine& engine = context_.engine;
    failures_ = 0;
    if (transcript_)
        transcript_->clear();
    engine.appsByDesktop(true);
    const auto active = engine.activeDesktop();
    QList<Desktop> others;
    for (const Desktop& desktop : engine.desktops()) {
        if (!active || desktop.id() != active->id())
            others << desktop;
    }
    if (!active || others.isEmpty()) {
        say(QStringLiteral("selftest: need at least two desktops"));
        context_.exit(1);
        return;
    }
    start_ = *active;
    target_ = others.first();
    for (const Desktop& desktop : others) {
        if (desktop.number <= SystemShortcuts::desktopLimit && !engine.apps(desktop).isEmpty()) {
            target_ = desktop;
            break;
        }
    }
    say(QStringLiteral("selftest: start on Desktop %1, switching to Desktop %2 trusted=%3 native=%4 shortcuts=%5")
            .arg(QString::number(start_.number), QString::number(target_.number),
                 boolText(platform::AX::isProcessTrusted()), boolText(context_.settings.nativeSwitching()),
                 QString::number(SystemShortcuts::enabledDesktopCount())));
    const QList<SpaceApp> targetApps = engine.apps(target_);
    if (!targetApps.isEmpty())
        opened_ = targetApps.first();
    requestTime_ = platform::now();
    std::weak_ptr<SelfTest> weak = weak_from_this();
    const auto arrived = [weak](bool success) {
        if (const auto self = weak.lock(); self && success)
            self->arrivalTime_ = platform::now();
    };
    if (!opened_) {
        engine.switchTo(target_, QStringLiteral("selftest"), arrived);
    } else {
        say(QStringLiteral("selftest: opening %1 on arrival").arg(opened_->name));
        engine.switchToThenActivate(target_, *opened_, QStringLiteral("selftest"), arrived);
    }
    after(arrivalWait, &SelfTest::checkArrival);
}

void SelfTest::checkArrival()
{
    SpaceEngine& engine = context_.engine;
    const auto active = engine.activeDesktop();
    report(QStringLiteral("engine sees the new desktop (%1)").arg(active ? active->displayName() : QStringLiteral("-")),
           active && active->id() == target_.id());
    report(QStringLiteral("completion reported the landing (%1)")
               .arg(arrivalTime_ ? millisecondsSince(*arrivalTime_) : QStringLiteral("never")),
           arrivalTime_ && *arrivalTime_ - requestTime_ < arrivalWait);
    if (opened_) {
        const auto front = platform::Workspace::frontmostApplication();
        const QString frontName = front && front->localizedName && !front->localizedName->isEmpty()
                                      ? *front->localizedName
                                      : QStringLiteral("-");
        const bool accepted = front && front->processIdentifier == opened_->pid;
        say(QStringLiteral("INFO front app after opening %1: %2 (%3)")
                .arg(opened_->name, frontName,
                     accepted ? QStringLiteral("activation accepted")
                              : QStringLiteral("activation refused, expected without user input")));
    }
    const auto last = engine.lastDesktop();
    report(QStringLiteral("jump-back remembers Desktop %1").arg(start_.number), last && last->id() == start_.id());
    report(QStringLiteral("switch tag is showing"), context_.hud.isShowing());
    platform::StatusBarButton* button = context_.statusBar.button();
    const QString title = button ? button->title() : QString();
    report(QStringLiteral("menu bar title is '%1'").arg(title),
           button && trimmedOfSpacesAndTabs(title) == target_.displayName());

    hudSeconds_ = context_.settings.hudDuration();
    after(hudSeconds_ + hudCheckDelay, &SelfTest::checkHudAndHover);
    returnToStart();
    after(hudSeconds_ + returnCheckDelay, &SelfTest::checkReturn);
}

void SelfTest::checkHudAndHover()
{
    report(QStringLiteral("switch tag hid itself after %1s").arg(ModeOutput::number(hudSeconds_)),
           !context_.hud.isShowing());
    context_.hover().show(std::nullopt, hoverPinTime);
    auto self = shared_from_this();
    runAfter(hoverCheckDelay, [self] {
        SpaceHover& hover = self->context_.hover();
        self->report(QStringLiteral("space hover strip shows on demand"), hover.isShowing());
        hover.hide();
        runAfter(hoverCheckDelay, [self] {
            self->report(QStringLiteral("space hover strip hides"), !self->context_.hover().isShowing());
        });
    });
}

void SelfTest::checkReturn()
{
    SpaceEngine& engine = context_.engine;
    report(QStringLiteral("jump back returned to Desktop %1").arg(start_.number), isOnStart());
    report(QStringLiteral("Mission Control detection reports closed"), !context_.overlay.isOpen());
    for (const Desktop& desktop : engine.desktops()) {
        if (desktop.number > SystemShortcuts::desktopLimit && desktop.displayUUID() == start_.displayUUID()) {
            stepDesktop_ = desktop;
            break;
        }
    }
    if (!stepDesktop_) {
        finish();
        return;
    }
    say(QStringLiteral("selftest: stepping to Desktop %1 '%2'")
            .arg(QString::number(stepDesktop_->number), stepDesktop_->displayName()));
    stepResult_.reset();
    std::weak_ptr<SelfTest> weak = weak_from_this();
    engine.switchTo(*stepDesktop_, QStringLiteral("selftest step"), [weak](bool success) {
        if (const auto self = weak.lock())
            self->stepResult_ = success;
    });
    after(stepCheckDelay, &SelfTest::checkStep);
}

void SelfTest::checkStep()
{
    SpaceEngine& engine = context_.engine;
    const auto* switcher = dynamic_cast<const DesktopSwitcher*>(engine.switcher());
    const QString note = switcher ? switcher->lastNote() : QString();
    const auto active = engine.activeDesktop();
    report(QStringLiteral("stepped to Desktop %1 (%2)").arg(QString::number(stepDesktop_->number), note),
           stepResult_ == true && active && active->id() == stepDesktop_->id());
    report(QStringLiteral("without Mission Control"), !note.contains(QStringLiteral("mission control")));
    returnToStart();
    after(finalCheckDelay, &SelfTest::checkFinalReturn);
}

void SelfTest::checkFinalReturn()
{
    report(QStringLiteral("and back to Desktop %1").arg(start_.number), isOnStart());
    finish();
}

void SelfTest::finish()
{
    say(failures_ == 0 ? QStringLiteral("selftest: all passed")
                       : QStringLiteral("selftest: %1 failure(s)").arg(failures_));
    context_.exit(failures_ == 0 ? 0 : 1);
}
