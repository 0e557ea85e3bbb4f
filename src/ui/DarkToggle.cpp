#include "ui/DarkToggle.h"

#include "ui/KitFocus.h"
#include "ui/KitShapes.h"
#include "ui/Theme.h"
#include "ui/ViewEnvironment.h"

#include <QPainter>

namespace {
constexpr double knobInset = 1.5;
} // namespace

DarkToggle::DarkToggle(bool isOn, QWidget* parent)
    : QAbstractButton(parent)
{
    KitFocus::pressesOnReturn(*this);
    setCheckable(true);
    setChecked(isOn);
    setFixedSize(sizeHint());
}

void DarkToggle::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    const QColor track = isChecked() ? ViewEnvironment::tintPalette(this).color : Theme::track();
    KitShapes::fill(painter, KitShapes::capsule(bounds), track);
    if (isDown())
        KitShapes::fill(painter, KitShapes::capsule(bounds), Theme::pressShade());

    const double diameter = bounds.height() - 2 * knobInset;
    const double left = isChecked() ? bounds.right() - knobInset - diameter : bounds.left() + knobInset;
    const QRectF knob(left, bounds.top() + knobInset, diameter, diameter);
    KitShapes::fill(painter, KitShapes::capsule(knob.translated(0, 0.5)), Theme::knobShadow());
    KitShapes::fill(painter, KitShapes::capsule(knob), Theme::knob());
    if (KitFocus::showsRing(*this)) {
        KitFocus::paintRing(painter, bounds, bounds.height() / 2,
                            isChecked() ? Theme::focusRingOnAccent() : Theme::focusRing());
    }
}
