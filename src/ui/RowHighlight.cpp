#include "ui/RowHighlight.h"

#include "ui/KitShapes.h"
#include "ui/Theme.h"

#include <QPainter>
#include <QVBoxLayout>

RowHighlight::RowHighlight(QWidget* content, double cornerRadius, QWidget* parent)
    : QWidget(parent)
    , content_(content)
    , cornerRadius_(cornerRadius)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (content_)
        layout->addWidget(content_);
}

void RowHighlight::setHovering(bool hovering)
{
    hovering_ = hovering;
    update();
}

void RowHighlight::setSelected(bool selected)
{
    selected_ = selected;
    update();
}

std::optional<QColor> RowHighlight::fill(bool hovering, bool selected)
{
    if (selected)
        return Theme::fill();
    if (hovering)
        return Theme::wash();
    return std::nullopt;
}

void RowHighlight::paint(QPainter& painter, const QRectF& rect, bool hovering, bool selected, double cornerRadius)
{
    if (const auto color = fill(hovering, selected))
        KitShapes::fill(painter, KitShapes::roundedRect(rect, cornerRadius), *color);
}

void RowHighlight::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, rect(), hovering_, selected_, cornerRadius_);
}
