#pragma once

#include <QList>
#include <QMargins>
#include <QObject>
#include <QPointF>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <optional>

class QAction;
class QKeyEvent;
class QScrollArea;
class QWidget;

// The one kind of ordinary window the app opens (settings, welcome): titled
// and closable with a transparent, title-less title bar, dark, on the canvas
// colour, never resizable by the user, its whole content one widget. Closing
// hides it; the window and its content live as long as the HostedWindow.
//
// The window never opens larger than its screen's visible frame, title bar
// included: content that does not fit scrolls inside the window. Every time
// it opens, its frame is put within that visible frame, moved the least.
// The window takes the focus only when shown or clicked; neither it nor its
// scroll area is ever a Tab stop.
class HostedWindow : public QObject {
    Q_OBJECT
public:
    static constexpr quint32 titledMask = 0x1;
    static constexpr quint32 closableMask = 0x2;
    static constexpr quint32 miniaturizableMask = 0x4;
    static constexpr quint32 fullSizeContentViewMask = 0x8000;
    // How far, in points, the pointer travels with the button held before a
    // press on the background drags the window; a click never moves it.
    static constexpr double dragThreshold = 4;

    // size absent: the size the content asks for. autosaveName absent: the
    // frame is not remembered. Does not show the window.
    HostedWindow(QWidget* rootView, std::optional<QSizeF> size = std::nullopt,
                 std::optional<QString> autosaveName = std::nullopt, bool miniaturizable = false);
    ~HostedWindow() override;

    QWidget* window() const { return window_; }
    QWidget* rootView() const { return rootView_; }
    // The content size asked for, before the screen limits it.
    QSize wantedSize() const { return wanted_; }

    // Puts the window within its screen, brings it to the front, makes it
    // key with no text field focused, and activates the app.
    void show();
    bool isVisible() const;
    void close();

    quint32 styleMask() const { return styleMask_; }
    std::optional<QString> autosaveName() const { return autosaveName_; }
    QString appearanceName() const;
    bool titlebarAppearsTransparent() const { return true; }
    bool titleHidden() const { return true; }
    bool isMovableByWindowBackground() const { return true; }
    bool isReleasedWhenClosed() const { return false; }
    bool isResizable() const { return false; }

    // The user-defaults key a frame is remembered under.
    static QString frameKey(const QString& autosaveName);

    // The main menu's items with key equivalents. While a hosted window is
    // active, a key its controls leave alone runs the enabled item whose
    // shortcut it is. Replaces the items set before.
    static void setMenuActions(const QList<QAction*>& actions);
    // Runs the enabled main-menu item whose shortcut the key is, for any of
    // the app's windows (the popover too); false when no item has it. A
    // popup that belongs to a window passes that window: Close and Minimize
    // then act on it, and the popup goes with it.
    static bool performMenuKey(QKeyEvent* key, QWidget* forWindow = nullptr);
    // The window the main menu's Close and Minimize act on: the one a menu
    // key runs for, else the active window.
    static QWidget* menuKeyWindow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fit();
    // Whether a remembered frame was put back.
    bool restoreFrame();
    void saveFrame() const;
    bool dragByBackground(QEvent* event);
    bool runMenuAction(QEvent* event);

    QWidget* window_;
    QWidget* rootView_;
    QScrollArea* scroll_;
    QSize wanted_;
    quint32 styleMask_;
    std::optional<QString> autosaveName_;
    // The decorations the last fit counted with.
    QMargins fittedWith_;
    // Centred when made, and not dragged since: centred again once the
    // title bar's real size is known.
    bool centred_ = true;
    // Where a press on the background went down (global points) until the
    // button comes up; whether it became a drag.
    std::optional<QPointF> pressedAt_;
    bool dragging_ = false;
};
