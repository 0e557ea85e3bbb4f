#include "ui/DarkField.h"

#include "ui/KitFocus.h"
#include "ui/KitShapes.h"
#include "ui/Theme.h"

#include <QEvent>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPainter>
#include <QVBoxLayout>

namespace {
constexpr double radius = 9;
} // namespace

DarkField::DarkField(QLineEdit* field, QWidget* parent)
    : QWidget(parent)
    , field_(field)
{
    field_->setFrame(false);
    field_->setTextMargins(0, 0, 0, 0);
    field_->setAttribute(Qt::WA_TranslucentBackground);
    QPalette palette = field_->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    field_->setPalette(palette);
    field_->setAutoFillBackground(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 6, 10, 6);
    layout->setSpacing(0);
    layout->addWidget(field_);
    setFocusProxy(field_);
    field_->installEventFilter(this);
    // Text set from outside while the field is not being edited (a stored
    // name, another writer) shows its start, as does text the user leaves;
    // the user's own keys (modified) type on where the cursor is, even while
    // the field does not hold the focus.
    showStart();
    connect(field_, &QLineEdit::textChanged, this, [this] {
        if (!field_->hasFocus() && !field_->isModified())
            showStart();
    });
}

void DarkField::showStart()
{
    field_->setCursorPosition(0);
}

bool DarkField::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == field_ && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        update();
        // Only when the user moves on or comes back: a window that stops
        // being active, or a menu over it, keeps where the typing was. Coming
        // back by key or from the app, typing goes on at the end; a click
        // puts the cursor where it lands.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        const bool moved = reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
        if (moved && event->type() == QEvent::FocusOut)
            showStart();
        else if (moved && reason != Qt::MouseFocusReason)
            field_->end(false);
    }
    return QWidget::eventFilter(watched, event);
}

void DarkField::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF bounds = rect();
    KitShapes::fill(painter, KitShapes::roundedRect(bounds, radius), Theme::fieldWell());
    if (field_->hasFocus())
        KitFocus::paintRing(painter, bounds, radius, Theme::focusRing());
    else
        KitShapes::strokeBorder(painter, bounds, radius, Theme::stroke());
}
