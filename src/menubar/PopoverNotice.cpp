#include "menubar/PopoverNotice.h"

#include "ui/Glyph.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {

constexpr double leadingSymbolSize = 15;

QLabel* label(const QString& text, const QFont& font, const QColor& color, bool wraps, QWidget* parent)
{
    auto* made = new QLabel(text, parent);
    made->setTextFormat(Qt::PlainText);
    made->setFont(font);
    made->setWordWrap(wraps);
    QPalette palette = made->palette();
    palette.setColor(QPalette::WindowText, color);
    made->setPalette(palette);
    return made;
}

} // namespace

QWidget* PopoverNotice::symbol(const QString& name, double pointSize, const QColor& color)
{
    auto* made = new QLabel;
    const GlyphImagePtr image = Glyph::symbolImage(name, pointSize, color);
    if (image) {
        made->setPixmap(QPixmap::fromImage(image->render(2)));
        made->setFixedSize(image->size().toSize());
    }
    made->setAttribute(Qt::WA_TransparentForMouseEvents);
    return made;
}

PopoverNotice::PopoverNotice(const Look& look, QWidget* trailing, std::function<void()> action, QWidget* parent)
    : QWidget(parent)
    , look_(look)
    , action_(std::move(action))
{
    setObjectName(QStringLiteral("notice"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(int(padding), int(padding), int(padding), int(padding));
    row->setSpacing(8);
    QWidget* leading = symbol(look.symbol, leadingSymbolSize, look.accent);
    leading->setParent(this);
    leading->setObjectName(QStringLiteral("noticeSymbol"));
    row->addWidget(leading, 0, Qt::AlignVCenter);

    auto* column = new QVBoxLayout;
    column->setSpacing(2);
    QLabel* title = label(look.title, Theme::font(12, QFont::DemiBold), Theme::text(), false, this);
    title->setObjectName(QStringLiteral("noticeTitle"));
    column->addWidget(title);
    QLabel* body = label(look.body, Theme::font(11), Theme::textSecondary(), true, this);
    body->setObjectName(QStringLiteral("noticeBody"));
    column->addWidget(body);
    row->addLayout(column, 1);
    if (trailing) {
        trailing->setParent(this);
        row->addWidget(trailing, 0, Qt::AlignVCenter);
    }
    if (action_)
        setCursor(Qt::PointingHandCursor);
}

void PopoverNotice::trigger()
{
    if (action_) {
        const auto action = action_;
        action();
    }
}

void PopoverNotice::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    QPainterPath shape;
    shape.addRoundedRect(bounds, cornerRadius, cornerRadius);
    painter.fillPath(shape, look_.fill);
    QColor border = look_.accent;
    border.setAlphaF(float(border.alphaF() * borderOpacity));
    QPainterPath inner;
    inner.addRoundedRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius - 0.5, cornerRadius - 0.5);
    painter.strokePath(inner, QPen(border, 1));
}

void PopoverNotice::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        trigger();
}
