#include "ui/DarkField.h"

#include "ui/KitShapes.h"
#include "ui/Theme.h"

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
}

void DarkField::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF bounds = rect();
    KitShapes::fill(painter, KitShapes::roundedRect(bounds, radius), Theme::fieldWell());
    KitShapes::strokeBorder(painter, bounds, radius, Theme::stroke());
}
