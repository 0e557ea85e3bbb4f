#include "ui/Card.h"

#include "ui/KitShapes.h"
#include "ui/Theme.h"

#include <QLinearGradient>
#include <QPainter>
#include <QVBoxLayout>

#include <cmath>

Card::Card(QWidget* content, double padding, QWidget* parent)
    : QWidget(parent)
    , content_(content)
    , padding_(padding)
{
    auto* layout = new QVBoxLayout(this);
    const int margin = int(std::lround(padding));
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(0);
    if (content_)
        layout->addWidget(content_);
}

void Card::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF bounds = rect();
    const QPainterPath shape = KitShapes::roundedRect(bounds, Theme::cornerRadius);
    KitShapes::fill(painter, shape, Theme::raised());
    QLinearGradient sheen(bounds.topLeft(), QPointF(bounds.left(), bounds.center().y()));
    sheen.setColorAt(0, Theme::cardSheen());
    sheen.setColorAt(1, Qt::transparent);
    KitShapes::fill(painter, shape, sheen);
    KitShapes::strokeBorder(painter, bounds, Theme::cornerRadius, Theme::hairline());
}
