#pragma once

#include "surfaces/NotchLabel.h"

#include <QWidget>

#include <functional>

// Hosts a notch label and turns clicks on it into a callback: the release
// triggers (the press does nothing), a right click or a Control-click counts
// as a right click.
class NotchLabelView : public QWidget {
    Q_OBJECT
public:
    // The view and whether the click was a right click.
    using ClickHandler = std::function<void(QWidget* view, bool rightClick)>;

    explicit NotchLabelView(QWidget* parent = nullptr);

    NotchLabel* label() const { return label_; }
    ClickHandler onClick;

    bool acceptsFirstMouse() const { return true; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    NotchLabel* label_;
};
