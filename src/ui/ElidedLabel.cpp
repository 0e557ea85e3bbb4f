#include "ui/ElidedLabel.h"

#include <QPainter>

#include <cmath>

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setFullText(text);
}

void ElidedLabel::setFullText(const QString& text)
{
    full_ = text;
    for (QChar& c : full_) {
        if (c == u'\n' || c == u'\r' || c == QChar(0x2028) || c == QChar(0x2029))
            c = u' ';
    }
    setText(full_);
    updateGeometry();
    update();
}

QSize ElidedLabel::sizeHint() const
{
    return {int(std::ceil(fontMetrics().horizontalAdvance(full_))) + 1, fontMetrics().height()};
}

QSize ElidedLabel::minimumSizeHint() const
{
    return {0, fontMetrics().height()};
}

QString ElidedLabel::displayedText() const
{
    return fontMetrics().elidedText(full_, Qt::ElideRight, width());
}

void ElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignAbsolute | Qt::AlignVCenter, displayedText());
}
