#pragma once

#include "engine/Desktop.h"
#include "platform/KeyEvents.h"
#include "support/Pixels.h"
#include "support/PlatformTest.h"

#include <QColor>
#include <QEvent>
#include <QImage>
#include <QPointF>

class QWidget;

// Base of the interface tests: the kit's fonts loaded, and helpers that draw
// widgets offscreen and compare what a user would see.
class UiTest : public PlatformTest {
protected:
    UiTest();

    // The widget laid out at its size hint (unless already sized) and drawn
    // over an opaque background at scale pixels per point.
    static QImage render(QWidget& widget, QColor background, double scale = 1);
    // The colour at a point given in points.
    static QColor at(const QImage& image, QPointF point);
    // fg drawn over an opaque bg.
    static QColor over(const QColor& fg, const QColor& bg);
    // A desktop with this metadata in the names store.
    static Desktop desktop(qint64 number, const SpaceIcon& icon = SpaceIcon::none(),
                           const TileColor& color = TileColor::automatic(), const QString& name = {});

    // --- acting as a user ---
    // One mouse event at a point in the widget's coordinates; a press holds
    // the button, a move holds none.
    static void mouse(QWidget& widget, QEvent::Type type, QPointF at, Qt::MouseButton button = Qt::LeftButton);
    static void press(QWidget& widget, QPointF at) { mouse(widget, QEvent::MouseButtonPress, at); }
    static void release(QWidget& widget, QPointF at) { mouse(widget, QEvent::MouseButtonRelease, at); }
    static void click(QWidget& widget, QPointF at)
    {
        press(widget, at);
        release(widget, at);
    }
    // A Qt key press sent to target (no release).
    static void keyPress(QWidget* target, int key, Qt::KeyboardModifiers modifiers = {});
    // A Qt key press and release sent to target.
    static void typeKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers = {});
    // The window shown and made the active one, as the user's front window.
    static void activate(QWidget& window);
    // Tab (Shift-Tab when backwards) pressed where the keyboard focus is in
    // the active window: focus moves on by key.
    static void tab(QWidget& window, bool backwards = false);
    // A key press as the user makes it: a global hotkey registered for the
    // combination takes it, anything else goes to the app's local monitors.
    void userPress(quint16 keyCode, platform::EventFlags flags = 0);
};

