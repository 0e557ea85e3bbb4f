#include "ui/DarkField.h"

#include "ui/KitFocus.h"
#include "ui/KitShapes.h"
#include "ui/Theme.h"

#include <QEvent>
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
}

bool DarkField::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == field_ && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        update();
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
