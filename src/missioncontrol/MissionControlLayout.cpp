// The layout pass of MissionControlOverlay: which desktop every button of
// Mission Control's bars stands for, and the pills over them.

#include "missioncontrol/MissionControlOverlay.h"

#include "engine/ScreenLookup.h"
#include "engine/SkyLight.h"
#include "engine/SpaceEngine.h"
#include "missioncontrol/OverlayPanel.h"
#include "missioncontrol/PillsView.h"
#include "platform/Scheduler.h"
#include "store/Settings.h"

#include <QPointer>

#include <cmath>

namespace {

// Whole points, cut towards zero, for the report.
QString whole(double value)
{
    if (!std::isfinite(value))
        return QStringLiteral("nan");
    return QString::number(std::trunc(value), 'f', 0);
}

QString rectText(const QRectF& rect)
{
    const auto number = [](double value) { return QString::number(value, 'g', 12); };
    return QStringLiteral("{{") + number(rect.x()) + QStringLiteral(", ") + number(rect.y()) + QStringLiteral("}, {")
        + number(rect.width()) + QStringLiteral(", ") + number(rect.height()) + QStringLiteral("}}");
}

// Whether a row's numbered labels count the desktops of its own display
// (starting at 1) while that display does not hold global desktop 1.
bool countsPerDisplay(const QList<DockAccess::Item>& items, const QList<Desktop>& desktops)
{
    std::optional<qint64> lowest;
    for (const auto& item : items) {
        if (auto number = item.desktopNumber())
            lowest = lowest ? std::min(*lowest, *number) : *number;
    }
    return lowest == 1 && !desktops.isEmpty() && desktops.first().number != 1;
}

} // namespace

bool MissionControlOverlay::hasThumbnailPills(const std::map<QString, QList<Pill>>& pills)
{
    for (const auto& [uuid, list] : pills) {
        for (const auto& pill : list) {
            if (!pill.isLabelAnchor())
                return true;
        }
    }
    return false;
}

QList<Pill> MissionControlOverlay::localPills(const QList<Pill>& pills, const platform::Screen& screen)
{
    QList<Pill> moved;
    moved.reserve(pills.size());
    for (const auto& pill : pills)
        moved.append(pill.offsetBy(-screen.frame.x(), -screen.frame.y()));
    return moved;
}

OverlayPanel& MissionControlOverlay::panel(const QString& uuid)
{
    auto it = panels_.find(uuid);
    if (it == panels_.end())
        it = panels_.emplace(uuid, new OverlayPanel(settings_)).first;
    return *it->second;
}

void MissionControlOverlay::layoutPass()
{
    const double started = platform::now();
    QString report;
    std::map<QString, QList<Pill>> pillsByDisplay;
    QList<QRectF> bars;
    QList<QRectF> buttons;
    bool barLeft = false;

    const auto primary = ScreenLookup::primary();
    const double primaryHeight = primary ? primary->frame.height() : 0;
    const bool showUnnamed = settings_.mcShowUnnamed();

    for (const auto& row : dock_.rows()) {
        QString uuid = SkyLight::displayUUID(row.displayID).value_or(QString());
        if (uuid.isEmpty() && !engine_.displays().isEmpty())
            uuid = engine_.displays().first().uuid;
        const QList<Desktop> desktops = engine_.desktopsOnDisplay(uuid);
        double barHeight = defaultBarHeight;
        if (row.bar) {
            barHeight = row.bar->height();
            if (row.bar->top() < offScreenLimit)
                barLeft = true;
            bars.append(*row.bar);
        }
        report += QStringLiteral("display ") + QString::number(row.displayID) + QStringLiteral(" bar=")
            + (row.bar ? rectText(*row.bar) : QStringLiteral("-")) + QStringLiteral(" items=")
            + QString::number(row.items.size()) + QStringLiteral(" desktops=") + QString::number(desktops.size())
            + QLatin1Char('\n');
        const bool positional = countsPerDisplay(row.items, desktops);
        QList<Pill> rowPills;
        for (qsizetype i = 0; i < row.items.size(); ++i) {
            const DockAccess::Item& item = row.items[i];
            QRectF f = item.frame;
            if (row.bar && f.bottom() <= row.bar->top() + shiftTolerance)
                f.translate(0, barHeight);
            buttons.append(f);
            report += QStringLiteral("  '") + item.description + QStringLiteral("' -> ") + whole(f.x())
                + QLatin1Char(',') + whole(f.y()) + QLatin1Char(' ') + whole(f.width()) + QLatin1Char('x')
                + whole(f.height()) + QLatin1Char('\n');

            std::optional<Desktop> desktop;
            if (const auto number = item.desktopNumber()) {
                if (positional) {
                    if (*number >= 1 && *number <= desktops.size())
                        desktop = desktops[*number - 1];
                } else {
                    desktop = engine_.desktopWithNumber(*number);
                }
            } else if (row.items.size() == desktops.size()) {
                desktop = desktops[i];
            }
            if (!desktop)
                continue;
            const SpaceMeta look = desktop->shownMeta();
            if (look.name.isEmpty() && look.icon.isNone() && !showUnnamed)
                continue;
            const QRectF anchor(f.x(), primaryHeight - f.bottom(), f.width(), f.height());
            const QRectF pillBar = row.bar
                ? QRectF(row.bar->x(), primaryHeight - row.bar->bottom(), row.bar->width(), row.bar->height())
                : QRectF(anchor.x(), anchor.y() - assumedBarDrop, anchor.width(), defaultBarHeight);
            double width = 0;
            if (f.height() <= Pill::labelAnchorMaxHeight) {
                labelWidths_.insert(desktop->number, f.width());
                width = f.width();
            } else {
                if (!expandedAt_)
                    expandedAt_ = platform::now();
                auto known = labelWidths_.constFind(desktop->number);
                width = known != labelWidths_.constEnd() ? known.value() : DockAccess::labelWidth(desktop->number);
            }
            rowPills.append(Pill(anchor, pillBar, width, *desktop));
        }
        if (!rowPills.isEmpty())
            pillsByDisplay[uuid].append(rowPills);
    }

    lastReport_ = report;
    barFrames_ = bars;
    thumbnailFrames_ = buttons;

    const auto countPass = [&] {
        ++passes_;
        passSeconds_ += platform::now() - started;
    };
    if (barLeft) {
        if (!lastPills_.empty())
            noteChange(QStringLiteral("bar left"));
        hidePills(true);
        countPass();
        return;
    }
    if (pillsByDisplay != lastPills_) {
        lastChange_ = platform::now();
        lastPills_ = pillsByDisplay;
        noteChange(hasThumbnailPills(pillsByDisplay) ? QStringLiteral("expanded") : QStringLiteral("collapsed"));
        for (const auto& [uuid, pills] : pillsByDisplay) {
            auto screen = SkyLight::screen(uuid);
            if (!screen)
                screen = platform::Screens::mainScreen();
            if (!screen)
                continue;
            OverlayPanel& shown = panel(uuid);
            if (shown.frame() != screen->frame || shown.pills().backingScale() != screen->backingScaleFactor)
                shown.setFrame(*screen);
            if (!shown.isVisible())
                shown.orderFront();
            shown.pills().setPills(localPills(pills, *screen), true);
        }
        for (auto& [uuid, shown] : panels_) {
            if (pillsByDisplay.count(uuid))
                continue;
            QPointer<OverlayPanel> target(shown);
            shown->pills().fadeOut(true, [target] {
                if (target)
                    target->orderOut();
            });
        }
    }
    scheduleGeometryTimer(platform::now() - lastChange_ <= settleTime ? fastInterval : settledInterval());
    countPass();
}
