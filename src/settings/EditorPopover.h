#pragma once

#include "engine/Desktop.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class EditSpaceView;

// The desktop editor in a popover beside the widget it belongs to: below it
// (the header tiles) or to its right (the Spaces page's tiles). A click
// outside, Escape or the editor's "Done" closes it; onClosed then runs once.
class EditorPopover : public QWidget {
    Q_OBJECT
public:
    enum class Edge { bottom, trailing };

    EditorPopover(const Desktop& desktop, QWidget* anchor, Edge edge, std::function<void()> onClosed);
    ~EditorPopover() override;

    EditSpaceView* editor() const { return editor_; }
    // Closes without running onClosed: for an owner that is going away.
    void dismissSilently();
    // Where the popover goes for an anchor rectangle in global coordinates.
    static QPoint placement(const QRect& anchor, QSize size, Edge edge);

protected:
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    EditSpaceView* editor_;
    std::function<void()> onClosed_;
};
