#include "UiTest.h"

#include "platform/sim/HotKeys.h"
#include "platform/sim/Keyboard.h"
#include "store/Hotkey.h"
#include "store/SpaceStore.h"
#include "ui/KitFonts.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

#include <cmath>

UiTest::UiTest()
{
    KitFonts::install();
}

QImage UiTest::render(QWidget& widget, QColor background, double scale)
{
    return renderLaidOut(widget, background, scale);
}

QColor UiTest::at(const QImage& image, QPointF point)
{
    const double scale = image.devicePixelRatio();
    return image.pixelColor(int(std::floor(point.x() * scale)), int(std::floor(point.y() * scale)));
}

QColor UiTest::over(const QColor& fg, const QColor& bg)
{
    const double a = fg.alphaF();
    return QColor::fromRgbF(float(fg.redF() * a + bg.redF() * (1 - a)), float(fg.greenF() * a + bg.greenF() * (1 - a)),
                            float(fg.blueF() * a + bg.blueF() * (1 - a)));
}

Desktop UiTest::desktop(qint64 number, const SpaceIcon& icon, const TileColor& color, const QString& name)
{
    Desktop made;
    made.space.id = quint64(100 + number);
    made.space.managedID = 10 + number;
    made.space.displayUUID = QStringLiteral("display-1");
    made.number = number;
    SpaceStore::shared().change(made.managedID(), [&](SpaceMeta& meta) {
        meta.icon = icon;
        meta.color = color;
        meta.name = name;
    });
    return made;
}

void UiTest::mouse(QWidget& widget, QEvent::Type type, QPointF at, Qt::MouseButton button)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
    QMouseEvent event(type, at, widget.mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

void UiTest::keyPress(QWidget* target, int key, Qt::KeyboardModifiers modifiers)
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(target, &event);
}

void UiTest::typeKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers)
{
    keyPress(target, key, modifiers);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(target, &release);
}

void UiTest::activate(QWidget& window)
{
    window.show();
    window.activateWindow();
    QApplication::processEvents();
}

void UiTest::tab(QWidget& window, bool backwards)
{
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &window;
    typeKey(target, backwards ? Qt::Key_Backtab : Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
}

void UiTest::userPress(quint16 keyCode, platform::EventFlags flags)
{
    if (platform::sim::fireHotKey(keyCode, Hotkey::carbonModifiers(flags))) {
        advance(0);
        return;
    }
    platform::sim::deliverLocalEvent({platform::KeyEventType::keyDown, keyCode, flags, {}});
}
