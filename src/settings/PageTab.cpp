#include "settings/PageTab.h"

#include "ui/Glyph.h"
#include "ui/KitFocus.h"
#include "ui/KitShapes.h"
#include "ui/KitText.h"
#include "ui/Theme.h"
#include "ui/ViewEnvironment.h"

#include <QPainter>

#include <cmath>

namespace {

constexpr double symbolSize = 11;
constexpr double labelSize = 12.5;
constexpr double gap = 6;
constexpr double padX = 10;
constexpr double padY = 7;
constexpr double radius = 9;

} // namespace

PageTab::PageTab(SettingsPage page, QWidget* parent)
    : QAbstractButton(parent)
    , page_(page)
{
    KitFocus::pressesOnReturn(*this);
    setObjectName(QStringLiteral("tab_") + SettingsPages::rawValue(page));
    setText(SettingsPages::label(page));
    setCursor(Qt::PointingHandCursor);
    setFixedSize(sizeHint());
}

void PageTab::setSelected(bool selected)
{
    if (selected == selected_)
        return;
    selected_ = selected;
    update();
}

QFont PageTab::labelFont() const
{
    return Theme::font(labelSize, selected_ ? QFont::DemiBold : QFont::Medium);
}

QSizeF PageTab::labelRoom() const
{
    // The semibold label is wider than the medium one: every tab keeps room
    // for it, so selecting a tab moves none of its neighbours.
    return KitText::measure(text(), Theme::font(labelSize, QFont::DemiBold));
}

QSize PageTab::sizeHint() const
{
    const QSizeF label = labelRoom();
    const double width = symbolSize + gap + label.width() + 2 * padX;
    const double height = std::max(symbolSize, label.height()) + 2 * padY;
    return {int(std::ceil(width)), int(std::ceil(height))};
}

void PageTab::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    const TintPalette palette = ViewEnvironment::tintPalette(this);
    const QPainterPath shape = KitShapes::roundedRect(bounds, radius);
    if (selected_) {
        KitShapes::fill(painter, shape, palette.gradient.over(bounds));
    } else {
        KitShapes::fill(painter, shape, Theme::tabWash());
        KitShapes::strokeBorder(painter, bounds, radius, Theme::hairline());
    }
    const QColor foreground = selected_ ? palette.onTint : Theme::textSecondary();
    const double middle = bounds.height() / 2;
    if (const GlyphImagePtr symbol =
            Glyph::symbolImage(SettingsPages::symbol(page_), symbolSize, foreground, QFont::DemiBold)) {
        const QSizeF size = symbol->size();
        symbol->draw(painter, QRectF(padX + (symbolSize - size.width()) / 2, middle - size.height() / 2,
                                     size.width(), size.height()));
    }
    KitText::drawCentred(painter, text(), labelFont(), foreground,
                         {padX + symbolSize + gap + labelRoom().width() / 2, middle});
    if (KitFocus::showsRing(*this))
        KitFocus::paintRing(painter, bounds, radius, selected_ ? Theme::focusRingOnAccent() : Theme::focusRing());
}
