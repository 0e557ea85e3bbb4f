#include "ui/ClickThroughHostingView.h"

#include <QVBoxLayout>

ClickThroughHostingView::ClickThroughHostingView(QWidget* rootView, QWidget* parent)
    : QWidget(parent)
    , rootView_(rootView)
{
    // Qt delivers the activating click to the widget under the pointer
    // unless the window refuses it; make sure nothing here refuses it.
    setAttribute(Qt::WA_ShowWithoutActivating);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(rootView_);
}
