#include "surfaces/HUDState.h"

HUDState::HUDState()
    : shown_(0.0, [this] { emit changed(); })
{
}

void HUDState::setDesktop(std::optional<Desktop> desktop)
{
    desktop_ = std::move(desktop);
    emit changed();
}

void HUDState::setToast(std::optional<Toast> toast)
{
    toast_ = std::move(toast);
    emit changed();
}

void HUDState::setSize(HUDSize size)
{
    size_ = size;
    emit changed();
}

void HUDState::setShowNumber(bool show)
{
    showNumber_ = show;
    emit changed();
}

void HUDState::setVisible(bool visible, std::optional<TweenCurve> animation)
{
    visible_ = visible;
    const double target = visible ? 1.0 : 0.0;
    if (animation)
        shown_.animateTo(target, *animation);
    else
        shown_.jumpTo(target);
}
