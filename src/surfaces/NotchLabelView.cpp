#include "surfaces/NotchLabelView.h"

#include <QMouseEvent>

NotchLabelView::NotchLabelView(QWidget* parent)
    : QWidget(parent)
    , label_(new NotchLabel(this))
{
    setObjectName(QStringLiteral("notchLabelView"));
    setAttribute(Qt::WA_TranslucentBackground);
}

void NotchLabelView::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void NotchLabelView::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (!onClick)
        return;
    if (event->button() == Qt::RightButton)
        onClick(this, true);
    else if (event->button() == Qt::LeftButton)
        onClick(this, event->modifiers().testFlag(Qt::ControlModifier));
}

void NotchLabelView::resizeEvent(QResizeEvent*)
{
    label_->setGeometry(rect());
}
