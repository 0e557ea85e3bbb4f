#include "ui/FirstMouseHostingController.h"

#include "ui/ClickThroughHostingView.h"

FirstMouseHostingController::FirstMouseHostingController(QWidget* rootView)
    : rootView_(rootView)
{
}

FirstMouseHostingController::~FirstMouseHostingController()
{
    if (view_ && !view_->parent())
        delete view_.data();
    else if (!view_ && rootView_ && !rootView_->parent())
        delete rootView_.data();
}

ClickThroughHostingView* FirstMouseHostingController::view()
{
    if (!view_)
        view_ = new ClickThroughHostingView(rootView_);
    return view_;
}
