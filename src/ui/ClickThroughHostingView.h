#pragma once

#include <QWidget>

// Hosts a content widget so that the very first click on an inactive panel or
// popover reaches the content instead of only activating the window.
class ClickThroughHostingView : public QWidget {
    Q_OBJECT
    // Read by the platform when a click lands on a window that is not key.
    Q_PROPERTY(bool acceptsFirstMouse READ acceptsFirstMouse CONSTANT)
public:
    explicit ClickThroughHostingView(QWidget* rootView, QWidget* parent = nullptr);

    QWidget* rootView() const { return rootView_; }
    // Every click counts, the first one on an inactive window too.
    bool acceptsFirstMouse() const { return true; }

private:
    QWidget* rootView_;
};
