#include "menubar/StatusBarController.h"

#include "platform/Screens.h"
#include "platform/PreferenceDomain.h"
#include "store/LogFile.h"
#include "store/Settings.h"
#include "store/Timers.h"

#include <QPointer>

// Delayed steps hold the controller weakly and carry the generation they
// were scheduled for; a newer arming makes older steps do nothing.

void StatusBarController::scheduleCheck(double delay)
{
    runAfter(delay, [weak = QPointer<StatusBarController>(this)] {
        if (weak)
            weak->checkFit();
    });
}

void StatusBarController::armFitChecks()
{
    fitChecksArmed_ = false;
    compact_ = false;
    render();
    const int generation = ++screensGeneration_;
    runAfter(firstCheckDelay, [weak = QPointer<StatusBarController>(this), generation] {
        if (weak && weak->screensGeneration_ == generation)
            weak->checkFit();
    });
    runAfter(fullNameRetryDelay, [weak = QPointer<StatusBarController>(this), generation] {
        if (weak && weak->screensGeneration_ == generation && weak->compact_)
            weak->retryFullName();
    });
}

void StatusBarController::statusWindowMoved(qint64 windowNumber)
{
    if (!fitChecksArmed_ || windowNumber == 0)
        return;
    platform::StatusBarButton* tile = button();
    if (tile && tile->window() && tile->window()->windowNumber() == windowNumber)
        checkFit();
}

void StatusBarController::checkFit()
{
    platform::StatusBarButton* tile = button();
    if (!tile || !tile->window() || besideNotch_)
        return;
    fitChecksArmed_ = true;
    const bool onScreen = isOnScreen();
    if (!onScreen && !compact_ && settings_.menuBarStyle() != MenuBarStyle::iconOnly) {
        if (confirming_)
            return;
        confirming_ = true;
        runAfter(confirmDelay, [weak = QPointer<StatusBarController>(this)] {
            if (weak)
                weak->confirmCompact();
        });
        return;
    }
    if (onScreen != tileHidden_)
        return;
    tileHidden_ = !onScreen;
    LogFile::switches().write(tileHidden_ ? QStringLiteral("menu bar has no room for the tile at all")
                                          : QStringLiteral("menu bar shows the tile again"));
    platform::NotificationCenter::defaultCenter().post(MenuBarNotifications::tileChanged());
}

void StatusBarController::confirmCompact()
{
    confirming_ = false;
    if (isOnScreen() || compact_)
        return;
    compact_ = true;
    LogFile::switches().write(QStringLiteral("menu bar has no room for the name; showing the tile alone"));
    render();
    scheduleCheck(confirmDelay);
}

void StatusBarController::retryFullName()
{
    if (!compact_)
        return;
    compact_ = false;
    LogFile::switches().write(QStringLiteral("menu bar: trying the full name again"));
    render();
    scheduleCheck(confirmDelay);
}

bool StatusBarController::isOnScreen() const
{
    const platform::StatusBarButton* tile = item_ ? item_->button() : nullptr;
    if (!tile || !tile->window())
        return true;
    const QRectF frame = tile->window()->frame();
    for (const platform::Screen& screen : platform::Screens::screens()) {
        if (frame.intersects(screen.frame))
            return true;
    }
    return false;
}

TilePresence StatusBarController::presence() const
{
    if (besideNotch_)
        return TilePresence::steppedAside;
    if (tileHidden_)
        return TilePresence::dropped;
    return TilePresence::inBar;
}

namespace {

QString flag(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

// As the system writes a rectangle: "{{x, y}, {w, h}}".
QString rectText(const QRectF& rect)
{
    return QStringLiteral("{{%1, %2}, {%3, %4}}")
        .arg(QString::number(rect.x()), QString::number(rect.y()), QString::number(rect.width()),
             QString::number(rect.height()));
}

} // namespace

QString StatusBarController::debugLine() const
{
    const platform::StatusBarButton* tile = item_ ? item_->button() : nullptr;
    if (!tile || !tile->window())
        return QStringLiteral("no window");
    const platform::StatusBarWindow* window = tile->window();
    const QVariant stored = platform::PreferenceDomain::standard().object(
        QStringLiteral("NSStatusItem Preferred Position ") + autosaveName);
    return QStringLiteral("frame=") + rectText(window->frame()) + QStringLiteral(" onScreen=") + flag(isOnScreen())
        + QStringLiteral(" visibleFlag=") + flag(window->occlusionVisible()) + QStringLiteral(" compact=")
        + flag(compact_) + QStringLiteral(" presence=") + presenceName(presence()) + QStringLiteral(" stored=")
        + (stored.isValid() ? stored.toString() : QStringLiteral("-"));
}
