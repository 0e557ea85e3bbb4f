#pragma once

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QString>

#include <functional>

class QScrollArea;
class QWidget;

namespace platform {

// A panel that hangs from a rectangle of the screen (a menu-bar button, a
// label), with an arrow-less dark frame. Content is one widget. A transient
// popover closes when the user clicks outside it: in another window of the
// app, on the desktop or in another app (the app then loses the focus); the
// click on the menu-bar button it hangs from is that button's own, and a
// click on a panel that never takes the keyboard (the character palette)
// keeps it open, so a pick reaches its field. A popover that is not
// application-defined closes on an Escape that its content leaves alone.
// Every way of closing runs the did-close callback once.
// It opens inside the area its screen leaves for windows: on the other side
// of its anchor when only that side has room, shifted along it as far as it
// must, and with its content scrolled when even the screen is too small; it
// is placed again whenever its content changes size.
class Popover : public QObject {
public:
    enum class Behavior { applicationDefined, transient, semitransient };
    enum class Edge { minY, maxY, minX, maxX };

    Popover();
    ~Popover() override;

    Behavior behavior() const { return behavior_; }
    void setBehavior(Behavior behavior) { behavior_ = behavior; }
    bool animates() const { return animates_; }
    void setAnimates(bool animates) { animates_ = animates; }
    QString appearanceName() const { return appearance_; }
    void setAppearanceName(const QString& name) { appearance_ = name; }
    void setOnDidClose(std::function<void()> callback) { onDidClose_ = std::move(callback); }

    // The popover's window takes the widget as its content (not owned: the
    // widget's owner keeps it; the popover only re-parents it).
    void setContentView(QWidget* content);
    QWidget* contentView() const;

    // Shows the popover beside anchor (screen coordinates) on the given edge
    // (minY: below it), or on the other side where only that one has room.
    // It counts as shown at once; on a desktop session its window may come
    // a moment later, once a focus change under way has landed.
    void show(const QRectF& anchor, Edge edge);
    // Closes as the user would, animated when animates() is on.
    void performClose();
    bool isShown() const { return shown_; }
    // Where the popover's window lies, in screen coordinates.
    QRectF frame() const { return frame_; }
    // Whether the last closing animated.
    bool lastCloseAnimated() const { return lastCloseAnimated_; }
    QWidget* window() const;

    // A view's bounds in screen coordinates.
    static QRectF screenRect(const QWidget* view);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();
    bool closesOnOutsideClicks() const;

    Behavior behavior_ = Behavior::applicationDefined;
    bool animates_ = true;
    QString appearance_;
    std::function<void()> onDidClose_;
    QPointer<QWidget> content_;
    QPointer<QWidget> window_;
    // Holds the content; scrolls it when the screen is too small for it.
    QPointer<QScrollArea> scroll_;
    QRectF anchor_;
    Edge edge_ = Edge::minY;
    bool placing_ = false;
    bool shown_ = false;
    bool lastCloseAnimated_ = false;
    QRectF frame_;
};

} // namespace platform
