#pragma once

#include "engine/Desktop.h"

#include "platform/Popover.h"

#include <QWidget>

#include <functional>

class EditSpaceView;

// The desktop editor in a popover beside the widget it belongs to: below it
// (the header tiles) or to its right (the Spaces page's tiles), or on the
// other side where only that one has room, and always within the screen
// (platform::Popover). A click in another of the app's windows, Escape or
// the editor's "Done" closes it; onClosed then runs once and the popover
// deletes itself. A click on the emoji palette, which never takes the
// focus, keeps it open, so the pick reaches the editor's field.
//
// It follows the widget it belongs to: when that widget hides (its window
// closed, hidden or minimised by any road), the popover finishes as "Done"
// does, so what was typed is kept, and the emoji palette it opened goes
// with it. Nothing is left on screen without its window.
class EditorPopover : public QWidget {
    Q_OBJECT
public:
    enum class Edge { bottom, trailing };

    EditorPopover(const Desktop& desktop, QWidget* anchor, Edge edge, std::function<void()> onClosed);
    ~EditorPopover() override;

    EditSpaceView* editor() const { return editor_; }
    // Shows the popover beside its anchor.
    void open();
    // Closes without running onClosed: for an owner that is going away.
    void dismissSilently();
    // The popover's window.
    QWidget* popoverWindow() const { return popover_.window(); }

protected:
    // The main menu's keys that nothing in the editor took act for the
    // window it belongs to: Ctrl+W closes that window, and the editor with
    // it.
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void closed();

    EditSpaceView* editor_;
    QPointer<QWidget> anchor_;
    Edge edge_;
    std::function<void()> onClosed_;
    platform::Popover popover_;
};
