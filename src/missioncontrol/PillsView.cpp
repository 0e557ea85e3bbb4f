#include "missioncontrol/PillsView.h"

#include "missioncontrol/DockAccess.h"
#include "missioncontrol/MissionControlHost.h"
#include "platform/Scheduler.h"
#include "platform/Transaction.h"
#include "store/Settings.h"
#include "store/Timers.h"
#include "ui/Glyph.h"
#include "ui/Theme.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>

#include <cmath>
#include <set>

namespace {

using platform::Transaction;

// Repaints while layers move, about 60 times a second.
constexpr double frameInterval = 1.0 / 60;

} // namespace

double PillsView::labelOverhang()
{
    return MissionControlHost::isWindowManager() ? 2 : 10;
}

double PillsView::minLabelHeight()
{
    return MissionControlHost::isWindowManager() ? DockAccess::labelBoxHeight : 0;
}

PillsView::PillsView(Settings& settings, QWidget* parent)
    : QWidget(parent)
    , settings_(settings)
    , root_(platform::Layer::make())
{
    setObjectName(QStringLiteral("pillsView"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // Pills may reach past the view's edge.
    root_->setMasksToBounds(false);
    root_->setAnchorPoint(QPointF(0, 0));
}

void PillsView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    root_->setBounds(QRectF(0, 0, width(), height()));
}

void PillsView::setPills(const QList<Pill>& pills, bool animated)
{
    const double backing = backingScale();
    const double scale = settings_.mcScale();
    const bool showNumber = settings_.mcShowNumber();
    const PillPlacement placement = settings_.mcPlacement();
    const double offsetY = settings_.mcOffsetY();
    const QFont font = Theme::font(fontSize * scale, QFont::DemiBold);
    const QFontMetricsF measure(font);

    Transaction::begin();
    Transaction::setAnimationDuration(animated ? moveDuration : 0);
    Transaction::setAnimationTimingFunction(platform::TimingFunction::easeInEaseOut);
    if (!animated)
        Transaction::setDisableActions(true);
    std::set<quint64> shown;
    for (const Pill& pill : pills) {
        const Desktop& desktop = pill.desktop;
        shown.insert(desktop.id());
        const bool label = pill.isLabelAnchor();
        const double smallest =
            (label || placement == PillPlacement::belowPreview) ? pill.labelWidth + labelOverhang() : 0;
        const double textLimit =
            label ? labelTextLimit : std::max(pill.anchor.width() - thumbnailInset, thumbnailTextFloor);
        const double height = std::max(baseHeight * scale, label ? minLabelHeight() : 0.0);
        const QString text = showNumber ? QString::number(desktop.number) + QStringLiteral("  ") + desktop.displayName()
                                        : desktop.displayName();
        const double textWidth = std::min(measure.horizontalAdvance(text), textLimit);
        GlyphImagePtr glyph;
        const SpaceIcon icon = desktop.icon();
        if (!icon.isNone())
            glyph = Glyph::iconImage(icon, glyphSize * scale, Theme::pillText());
        const double glyphWidth = glyph ? glyphSize * scale + glyphGap * scale : 0;
        const double contentWidth = padding * scale + textWidth + padding * scale + glyphWidth;
        PillMetrics metrics;
        metrics.width = std::max(contentWidth, smallest);
        metrics.height = height;
        metrics.scale = scale;
        metrics.contentWidth = contentWidth;
        metrics.padding = padding * scale;
        metrics.glyphSize = glyphSize * scale;
        metrics.gap = glyphGap * scale;
        metrics.textWidth = textWidth;
        const PillPainter::Picture picture = painter_.image(desktop, text, font, glyph, metrics, backing, showNumber);
        measured_[desktop.id()] = {metrics, text, bool(glyph)};

        double x = pill.anchor.center().x();
        double y = pill.anchor.center().y();
        if (!label) {
            y = placement == PillPlacement::insidePreview
                ? pill.anchor.top() + height / 2 + insideLift * scale
                : (pill.anchor.top() + pill.bar.top()) / 2;
        }
        // y up: the rectangle's top() is its smallest y.
        y += offsetY;
        const QRectF bounds(QPointF(0, 0), picture.size);

        auto it = layers_.find(desktop.id());
        if (it == layers_.end()) {
            auto layer = platform::Layer::make();
            layer->setContentsScale(backing);
            layer->setContents(picture.image);
            Transaction::begin();
            Transaction::setDisableActions(true);
            layer->setBounds(bounds);
            layer->setPosition(QPointF(x, y + pill.bar.height()));
            layer->setOpacity(0);
            root_->addSublayer(layer);
            Transaction::commit();
            layer->setPosition(QPointF(x, y));
            layer->setOpacity(1);
            layers_.emplace(desktop.id(), layer);
        } else {
            const auto& layer = it->second;
            const QPointF from = layer->position();
            const double distance = std::hypot(from.x() - x, from.y() - y);
            const bool nudge = distance < nudgeDistance;
            Transaction::begin();
            Transaction::setAnimationDuration(animated ? (nudge ? nudgeDuration : moveDuration) : 0);
            Transaction::setAnimationTimingFunction(nudge ? platform::TimingFunction::linear
                                                          : platform::TimingFunction::easeInEaseOut);
            layer->setContents(picture.image);
            layer->setBounds(bounds);
            layer->setPosition(QPointF(x, y));
            layer->setOpacity(1);
            Transaction::commit();
        }
    }
    for (auto it = layers_.begin(); it != layers_.end();) {
        if (shown.count(it->first)) {
            ++it;
            continue;
        }
        it->second->removeFromSuperlayer();
        measured_.erase(it->first);
        it = layers_.erase(it);
    }
    Transaction::commit();
    keepPainting();
}

void PillsView::fadeOut(bool animated, std::function<void()> completion)
{
    if (layers_.empty()) {
        if (completion)
            completion();
        return;
    }
    std::vector<platform::Layer::Ptr> taken;
    for (auto& [id, layer] : layers_)
        taken.push_back(layer);
    layers_.clear();
    measured_.clear();
    if (!animated) {
        for (const auto& layer : taken)
            layer->removeFromSuperlayer();
        presentationMoved();
        if (completion)
            completion();
        return;
    }
    QPointer<PillsView> self(this);
    Transaction::begin();
    Transaction::setAnimationDuration(fadeDuration);
    Transaction::setAnimationTimingFunction(platform::TimingFunction::easeIn);
    Transaction::setCompletionBlock([self, taken, completion] {
        for (const auto& layer : taken)
            layer->removeFromSuperlayer();
        if (self)
            self->presentationMoved();
        if (completion)
            completion();
    });
    for (const auto& layer : taken) {
        layer->setPosition(layer->position() + QPointF(0, fadeRise));
        layer->setOpacity(0);
    }
    Transaction::commit();
    keepPainting();
}

void PillsView::presentationMoved()
{
    update();
    emit presentationChanged();
}

void PillsView::keepPainting()
{
    presentationMoved();
    if (framePending_ || !root_->isAnimating(platform::now()))
        return;
    framePending_ = true;
    QPointer<PillsView> self(this);
    runAfter(frameInterval, [self] {
        if (!self)
            return;
        self->framePending_ = false;
        self->keepPainting();
    });
}

QRegion PillsView::shape(double t) const
{
    QRegion region;
    const double radius = PillPainter::cornerRadius * settings_.mcScale();
    for (const auto& layer : root_->sublayers()) {
        if (!(layer->presentedOpacity(t) > 0))
            continue;
        const QRectF box = layer->presentedBounds(t);
        const QPointF position = layer->presentedPosition(t);
        const QPointF anchor = layer->anchorPoint();
        // y up in the layer tree, y down here.
        const QRectF picture(position.x() - anchor.x() * box.width(),
                             height() - (position.y() + (1 - anchor.y()) * box.height()), box.width(), box.height());
        const QRectF pill = picture.adjusted(PillPainter::margin, PillPainter::margin, -PillPainter::margin,
                                             -PillPainter::margin);
        if (pill.isEmpty())
            continue;
        QPainterPath path;
        path.addRoundedRect(pill, radius, radius);
        region += QRegion(path.toFillPolygon().toPolygon());
    }
    return region;
}

void PillsView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    root_->renderSublayers(painter, height(), platform::now());
}
