#include "ui/SegmentPicker.h"

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
constexpr double well = 2;
constexpr double gap = 2;
constexpr double horizontalPadding = 12;
constexpr double verticalPadding = 5;
constexpr double segmentRadius = 7;
constexpr double wellRadius = 9;
constexpr double selectDuration = 0.15;

QFont segmentFont(bool selected)
{
    return Theme::font(12, selected ? QFont::DemiBold : QFont::Medium);
}

QColor mix(const QColor& from, const QColor& to, double amount)
{
    const auto blend = [amount](float a, float b) { return float(a + (b - a) * amount); };
    return QColor::fromRgbF(blend(from.redF(), to.redF()), blend(from.greenF(), to.greenF()),
                            blend(from.blueF(), to.blueF()), blend(from.alphaF(), to.alphaF()));
}
} // namespace

SegmentPicker::SegmentPicker(const QList<Option>& options, const QVariant& selection, QWidget* parent)
    : QWidget(parent)
    , options_(options)
    , selection_(selection)
{
    for (qsizetype i = 0; i < options_.size(); ++i)
        fills_.push_back(std::make_unique<Transition>(isSelected(i) ? 1 : 0, [this] { update(); }));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFocusPolicy(Qt::StrongFocus);
}

SegmentPicker::~SegmentPicker() = default;

bool SegmentPicker::isSelected(qsizetype index) const
{
    return options_[index].first == selection_;
}

void SegmentPicker::setSelection(const QVariant& value)
{
    selection_ = value;
    for (qsizetype i = 0; i < options_.size(); ++i)
        fills_[size_t(i)]->jumpTo(isSelected(i) ? 1 : 0);
    updateGeometry();
    update();
}

QSizeF SegmentPicker::segmentSize(qsizetype index) const
{
    const QSizeF text = KitText::measure(options_[index].second, segmentFont(isSelected(index)));
    return {text.width() + 2 * horizontalPadding, text.height() + 2 * verticalPadding};
}

QRectF SegmentPicker::segmentRect(qsizetype index) const
{
    double left = well;
    double tallest = 0;
    for (qsizetype i = 0; i < options_.size(); ++i)
        tallest = std::max(tallest, segmentSize(i).height());
    for (qsizetype i = 0; i < index; ++i)
        left += segmentSize(i).width() + gap;
    const QSizeF size = segmentSize(index);
    return {left, well + (tallest - size.height()) / 2, size.width(), size.height()};
}

QSize SegmentPicker::sizeHint() const
{
    double width = 0;
    double height = 0;
    for (qsizetype i = 0; i < options_.size(); ++i) {
        const QSizeF size = segmentSize(i);
        width += size.width() + (i > 0 ? gap : 0);
        height = std::max(height, size.height());
    }
    return {int(std::ceil(width + 2 * well)), int(std::ceil(height + 2 * well))};
}

void SegmentPicker::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const QRectF bounds = rect();
    KitShapes::fill(painter, KitShapes::roundedRect(bounds, wellRadius), Theme::segmentWell());
    KitShapes::strokeBorder(painter, bounds, wellRadius, Theme::hairline());
    if (KitFocus::showsRing(*this))
        KitFocus::paintRing(painter, bounds, wellRadius, Theme::focusRing());

    const TintPalette palette = ViewEnvironment::tintPalette(this);
    for (qsizetype i = 0; i < options_.size(); ++i) {
        const QRectF segment = segmentRect(i);
        const double amount = fills_[size_t(i)]->value();
        QColor fill = palette.color;
        fill.setAlphaF(float(fill.alphaF() * amount));
        KitShapes::fill(painter, KitShapes::roundedRect(segment, segmentRadius), fill);
        KitText::drawCentred(painter, options_[i].second, segmentFont(isSelected(i)),
                             mix(Theme::textSecondary(), palette.onTint, amount), segment.center());
    }
}

qsizetype SegmentPicker::segmentAt(QPointF point) const
{
    for (qsizetype i = 0; i < options_.size(); ++i) {
        if (segmentRect(i).contains(point))
            return i;
    }
    return -1;
}

void SegmentPicker::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton ? segmentAt(event->position()) : -1;
}

void SegmentPicker::mouseReleaseEvent(QMouseEvent* event)
{
    const qsizetype released = segmentAt(event->position());
    if (pressed_ >= 0 && released == pressed_ && event->button() == Qt::LeftButton)
        select(released);
    pressed_ = -1;
}

void SegmentPicker::keyPressEvent(QKeyEvent* event)
{
    const int step = event->key() == Qt::Key_Left ? -1 : event->key() == Qt::Key_Right ? 1 : 0;
    if (step == 0 || options_.isEmpty()) {
        QWidget::keyPressEvent(event);
        return;
    }
    qsizetype current = -1;
    for (qsizetype i = 0; i < options_.size() && current < 0; ++i) {
        if (isSelected(i))
            current = i;
    }
    const qsizetype next = current < 0 ? (step > 0 ? 0 : options_.size() - 1) : current + step;
    if (next >= 0 && next < options_.size())
        select(next);
}

void SegmentPicker::select(qsizetype index)
{
    selection_ = options_[index].first;
    for (qsizetype i = 0; i < options_.size(); ++i)
        fills_[size_t(i)]->animateTo(isSelected(i) ? 1 : 0, selectDuration);
    updateGeometry();
    update();
    emit activated(selection_);
}
