#include "surfaces/HoverStripView.h"

#include "engine/SpaceEngine.h"
#include "ui/KitShapes.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QPainter>

namespace {
constexpr double cardOpacity = 0.97;
} // namespace

HoverStripView::HoverStripView(SpaceEngine& engine, HoverStripItem::SelectHandler onSelect,
                               HoverStripItem::OpenHandler onOpen, QWidget* parent)
    : QWidget(parent)
    , engine_(engine)
    , onSelect_(std::move(onSelect))
    , onOpen_(std::move(onOpen))
{
    setObjectName(QStringLiteral("hoverStrip"));
    layout_ = new QHBoxLayout(this);
    layout_->setContentsMargins(int(paddingX), int(paddingY), int(paddingX), int(paddingY));
    layout_->setSpacing(int(itemSpacing));
    layout_->setSizeConstraint(QLayout::SetFixedSize);
    rebuild();
    connect(&engine_, &SpaceEngine::changed, this, &HoverStripView::rebuild);
}

void HoverStripView::rebuild()
{
    // A click on an item may switch desktops and so rebuild the strip while
    // the item is still handling it: let the old items go on the next turn.
    for (HoverStripItem* item : items_) {
        layout_->removeWidget(item);
        item->hide();
        item->deleteLater();
    }
    items_.clear();
    for (const Desktop& desktop : engine_.desktops()) {
        auto* item = new HoverStripItem(desktop, engine_.apps(desktop), onSelect_, onOpen_, this);
        layout_->addWidget(item, 0, Qt::AlignVCenter);
        items_.append(item);
    }
    layout_->activate();
}

void HoverStripView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing);
    const QRectF bounds = rect();
    QColor card = Theme::canvas();
    card.setAlphaF(float(cardOpacity));
    KitShapes::fill(painter, KitShapes::roundedRect(bounds, cornerRadius), card);
    KitShapes::strokeBorder(painter, bounds, cornerRadius, Theme::stroke());
}
