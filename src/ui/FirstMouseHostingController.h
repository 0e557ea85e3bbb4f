#pragma once

#include <QPointer>

class ClickThroughHostingView;
class QWidget;

// A controller whose view is a ClickThroughHostingView of its root content,
// made when the view is first asked for (the popover hosts its content so).
class FirstMouseHostingController {
public:
    explicit FirstMouseHostingController(QWidget* rootView);
    ~FirstMouseHostingController();
    FirstMouseHostingController(const FirstMouseHostingController&) = delete;
    FirstMouseHostingController& operator=(const FirstMouseHostingController&) = delete;

    QWidget* rootView() const { return rootView_; }
    // Made on first use; owned by the controller until a parent takes it.
    ClickThroughHostingView* view();

private:
    QPointer<QWidget> rootView_;
    QPointer<ClickThroughHostingView> view_;
};
