#include "missioncontrol/Pill.h"

Pill::Pill(const QRectF& anchorRect, const QRectF& barRect, double width, const Desktop& shown)
    : anchor(anchorRect)
    , bar(barRect)
    , labelWidth(width)
    , desktop(shown)
    , look(lookOf(shown))
{
}

Pill Pill::offsetBy(double dx, double dy) const
{
    Pill moved = *this;
    moved.anchor.translate(dx, dy);
    moved.bar.translate(dx, dy);
    return moved;
}

QString Pill::lookOf(const Desktop& desktop)
{
    const SpaceMeta shown = desktop.shownMeta();
    return shown.name + QLatin1Char('|') + shown.icon.stringValue() + QLatin1Char('|')
        + QString::number(shown.color.intValue());
}
