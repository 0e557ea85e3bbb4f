#include "ui/RowDivider.h"

#include "ui/Theme.h"

#include <QPainter>

RowDivider::RowDivider(QWidget* parent)
    : QWidget(parent)
{
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void RowDivider::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), Theme::hairline());
}
