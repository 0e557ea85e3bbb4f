#include "ui/ValueSlider.h"

#include "ui/KitFocus.h"
#include "ui/KitShapes.h"
#include "ui/KitText.h"
#include "ui/Theme.h"
#include "ui/ViewEnvironment.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
// The small slider's proportions.
constexpr double sliderHeight = 16;
constexpr double trackThickness = 4;
constexpr double knobDiameter = 14;

QFont labelFont()
{
    return Theme::font(11.5, QFont::Medium);
}
} // namespace

ValueSlider::ValueSlider(double value, double minimum, double maximum, double step, Format format, QWidget* parent)
    : QWidget(parent)
    , value_(minimum)
    , minimum_(std::min(minimum, maximum))
    , maximum_(std::max(minimum, maximum))
    , step_(step)
    , format_(std::move(format))
{
    setValue(value);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

double ValueSlider::snapped(double value) const
{
    if (!std::isfinite(value))
        return value_;
    value = std::clamp(value, minimum_, maximum_);
    if (step_ > 0)
        value = std::min(maximum_, minimum_ + std::round((value - minimum_) / step_) * step_);
    return value;
}

void ValueSlider::setValue(double value)
{
    // The stored value is shown as it is; only the user's moves snap.
    if (!std::isfinite(value))
        return;
    value_ = value;
    update();
}

void ValueSlider::setStep(double step)
{
    step_ = step;
    update();
}

QString ValueSlider::text() const
{
    return format_ ? format_(value_) : QString();
}

double ValueSlider::fraction() const
{
    // A stored value outside the range puts the knob at that end.
    return maximum_ > minimum_ ? std::clamp((value_ - minimum_) / (maximum_ - minimum_), 0.0, 1.0) : 0;
}

QRectF ValueSlider::sliderRect() const
{
    return {0, (height() - sliderHeight) / 2, trackWidth, sliderHeight};
}

QRectF ValueSlider::labelRect() const
{
    return {trackWidth + gap, 0, labelWidth, double(height())};
}

QSize ValueSlider::sizeHint() const
{
    const double textHeight = KitText::measure(QStringLiteral("0"), labelFont()).height();
    return {int(std::ceil(trackWidth + gap + labelWidth)), int(std::ceil(std::max(sliderHeight, textHeight)))};
}

void ValueSlider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const QRectF slider = sliderRect();
    const double travel = slider.width() - knobDiameter;
    const double knobCentre = slider.left() + knobDiameter / 2 + travel * fraction();
    const QRectF track(slider.left() + 1, slider.center().y() - trackThickness / 2, slider.width() - 2,
                       trackThickness);
    KitShapes::fill(painter, KitShapes::capsule(track), Theme::track());
    const QRectF filled(track.left(), track.top(), knobCentre - track.left(), trackThickness);
    KitShapes::fill(painter, KitShapes::capsule(filled), ViewEnvironment::tintPalette(this).color);

    const QRectF knob(knobCentre - knobDiameter / 2, slider.center().y() - knobDiameter / 2, knobDiameter,
                      knobDiameter);
    KitShapes::fill(painter, KitShapes::capsule(knob.translated(0, 0.5)), Theme::sliderKnobShadow());
    KitShapes::fill(painter, KitShapes::capsule(knob), Theme::sliderKnob());
    if (KitFocus::showsRing(*this))
        KitFocus::paintRing(painter, knob, knobDiameter / 2, Theme::focusRing());

    const QRectF label = labelRect();
    const QString shown = text();
    const QSizeF size = KitText::measure(shown, labelFont());
    KitText::drawCentred(painter, shown, labelFont(), Theme::textSecondary(),
                         QPointF(label.right() - size.width() / 2, label.center().y()));
}

void ValueSlider::userSet(double value)
{
    const double next = snapped(value);
    if (next == value_)
        return;
    value_ = next;
    update();
    emit valueChanged(value_);
}

void ValueSlider::setFromPosition(double x)
{
    const QRectF slider = sliderRect();
    const double travel = slider.width() - knobDiameter;
    const double at = std::clamp((x - slider.left() - knobDiameter / 2) / travel, 0.0, 1.0);
    userSet(minimum_ + at * (maximum_ - minimum_));
}

void ValueSlider::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !sliderRect().contains(event->position())) {
        event->ignore();
        return;
    }
    setFromPosition(event->position().x());
}

void ValueSlider::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton)
        setFromPosition(event->position().x());
}

void ValueSlider::keyPressEvent(QKeyEvent* event)
{
    const double increment = step_ > 0 ? step_ : (maximum_ - minimum_) / 100;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
        userSet(value_ - increment);
        break;
    case Qt::Key_Right:
    case Qt::Key_Up:
        userSet(value_ + increment);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}
