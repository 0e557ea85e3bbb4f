#include "ui/KitFocus.h"

#include "ui/KitShapes.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QWidget>

namespace KitFocus {

namespace {

class ReturnPresses : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<const QKeyEvent*>(event);
        auto* button = static_cast<QAbstractButton*>(watched);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier || key->isAutoRepeat()
            || !button->isEnabled())
            return false;
        button->click();
        return true;
    }
};

} // namespace

void pressesOnReturn(QAbstractButton& button)
{
    button.installEventFilter(new ReturnPresses(&button));
}

bool showsRing(const QWidget& widget)
{
    // Qt marks a window once focus moved in it by key.
    return widget.hasFocus() && widget.window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

void paintRing(QPainter& painter, const QRectF& rect, double radius, const QColor& color)
{
    KitShapes::strokeBorder(painter, rect, radius, color, ringWidth);
}

} // namespace KitFocus
