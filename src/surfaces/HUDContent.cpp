#include "surfaces/HUDContent.h"

#include "surfaces/HUDState.h"
#include "ui/Glyph.h"
#include "ui/Theme.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double lineSpacing = 1;
constexpr double borderWidth = 1;
constexpr double shadowRadius = 18;
constexpr double shadowOffset = 8;
constexpr int shadowLayers = 8;
constexpr double hiddenScale = 0.92;
constexpr double hiddenDrop = 8;
// A toast wraps onto this many lines before it grows wider.
constexpr int toastLines = 2;

} // namespace

HUDContent::HUDContent(HUDState& state, bool measuring, QWidget* parent)
    : QWidget(parent)
    , state_(state)
    , measuring_(measuring)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    if (!measuring_)
        connect(&state_, &HUDState::changed, this, qOverload<>(&QWidget::update));
}

HUDContent::Metrics HUDContent::metrics() const
{
    const double s = scale(state_.size());
    return Metrics{
        .scale = s,
        .nameFont = Theme::font(19 * s, QFont::DemiBold),
        .numberFont = Theme::font(11.5 * s, QFont::Medium),
        .toastFont = Theme::font(14 * s, QFont::Medium),
        .tileSide = 30 * s,
        .spacing = 12 * s,
        .symbolSize = 18 * s,
        .toastMaxWidth = 380 * s,
        .paddingX = 18 * s,
        .paddingY = 12 * s,
        .radius = 16 * s,
    };
}

QStringList HUDContent::wrapToast(const QString& text, const QFont& font, double width) const
{
    QStringList lines;
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines.append(text.mid(line.textStart(), line.textLength()).trimmed());
    }
    layout.endLayout();
    return lines;
}

double HUDContent::toastWrapWidth(const QString& text, const QFont& font, double usual, double room) const
{
    // Every frame of the card's animation lays it out again.
    if (wrapCache_ && wrapCache_->text == text && wrapCache_->font == font && wrapCache_->usual == usual
        && wrapCache_->room == room)
        return wrapCache_->width;
    const double width = findToastWrapWidth(text, font, usual, room);
    wrapCache_ = WrapWidth{text, font, usual, room, width};
    return width;
}

double HUDContent::findToastWrapWidth(const QString& text, const QFont& font, double usual, double room) const
{
    const double width = std::min(usual, room);
    if (wrapToast(text, font, width).size() <= toastLines)
        return width;
    // Wider, until the text fits its lines or the room runs out: the whole
    // text always shows, on more lines only when even the room is too narrow.
    double high = std::min(room, std::ceil(QFontMetricsF(font).horizontalAdvance(text)) + 1);
    if (high <= width || wrapToast(text, font, high).size() > toastLines)
        return std::max(width, high);
    double low = width;
    while (high - low > 0.5) {
        const double middle = (low + high) / 2;
        if (wrapToast(text, font, middle).size() > toastLines)
            low = middle;
        else
            high = middle;
    }
    return std::ceil(high);
}

HUDContent::Layout HUDContent::layout(std::optional<double> maxCardWidth) const
{
    const Metrics m = metrics();
    Layout result;
    double contentHeight = 0;
    if (const auto& desktop = state_.desktop()) {
        const QFontMetricsF nameMetrics(m.nameFont);
        const QFontMetricsF numberMetrics(m.numberFont);
        const QString name = desktop->displayName();
        std::optional<QString> number;
        if (state_.showNumber() && desktop->hasName())
            number = QStringLiteral("Desktop ") + QString::number(desktop->number);
        double textWidth = nameMetrics.horizontalAdvance(name);
        if (number)
            textWidth = std::max(textWidth, numberMetrics.horizontalAdvance(*number));
        const double fixed = 2 * m.paddingX + m.tileSide + m.spacing;
        if (maxCardWidth)
            textWidth = std::max(0.0, std::min(textWidth, *maxCardWidth - fixed));
        result.lines.name = nameMetrics.elidedText(name, Qt::ElideRight, std::ceil(textWidth));
        result.lines.number = number;
        result.textWidth = textWidth;
        result.textHeight = nameMetrics.height() + (number ? lineSpacing + numberMetrics.height() : 0);
        result.leadingSide = m.tileSide;
        contentHeight = std::max(m.tileSide, result.textHeight);
        result.card = QSizeF(fixed + textWidth, contentHeight + 2 * m.paddingY);
    } else if (const auto& toast = state_.toast()) {
        const QFontMetricsF metrics(m.toastFont);
        const double fixed = 2 * m.paddingX + m.symbolSize + m.spacing;
        const double room =
            maxCardWidth ? std::max(1.0, *maxCardWidth - fixed) : std::numeric_limits<double>::infinity();
        const double wrapWidth = toastWrapWidth(toast->text, m.toastFont, m.toastMaxWidth, room);
        result.lines.toast = wrapToast(toast->text, m.toastFont, wrapWidth);
        double widest = 0;
        for (const QString& line : result.lines.toast)
            widest = std::max(widest, metrics.horizontalAdvance(line));
        result.textWidth = std::min(widest, wrapWidth);
        result.textHeight = metrics.lineSpacing() * result.lines.toast.size();
        result.leadingSide = m.symbolSize;
        contentHeight = std::max(m.symbolSize, result.textHeight);
        result.card = QSizeF(fixed + result.textWidth, contentHeight + 2 * m.paddingY);
    }
    return result;
}

QSizeF HUDContent::fittingSize(std::optional<double> widthLimit) const
{
    const QSizeF card =
        layout(widthLimit ? std::optional<double>(*widthLimit - 2 * outerPadding) : std::nullopt).card;
    return QSizeF(card.width() + 2 * outerPadding, card.height() + 2 * outerPadding);
}

QSize HUDContent::sizeHint() const
{
    const QSizeF size = fittingSize();
    return QSize(int(std::ceil(size.width())), int(std::ceil(size.height())));
}

HUDContent::Lines HUDContent::lines(double width) const
{
    return layout(width - 2 * outerPadding).lines;
}

QRectF HUDContent::cardRect() const
{
    const QSizeF card = layout(width() - 2 * outerPadding).card;
    return QRectF((width() - card.width()) / 2, (height() - card.height()) / 2, card.width(), card.height());
}

QPainterPath HUDContent::cardShape(const QSizeF& size) const
{
    const QSizeF card = layout(size.width() - 2 * outerPadding).card;
    const double radius = metrics().radius;
    QPainterPath path;
    path.addRoundedRect(QRectF((size.width() - card.width()) / 2, (size.height() - card.height()) / 2, card.width(),
                               card.height()),
                        radius, radius);
    return path;
}

const QImage& HUDContent::shadow(const QSizeF& card, double radius, double pixelRatio)
{
    if (!shadow_.isNull() && shadowCard_ == card && shadowRatio_ == pixelRatio)
        return shadow_;
    // Stacked rounded rectangles stand in for a blur.
    const double reach = shadowRadius * 0.6;
    const QSizeF size = card + QSizeF(2 * reach, 2 * reach);
    shadow_ = QImage((size * pixelRatio).toSize(), QImage::Format_ARGB32_Premultiplied);
    shadow_.setDevicePixelRatio(pixelRatio);
    shadow_.fill(Qt::transparent);
    QPainter painter(&shadow_);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    QColor layer = Theme::tagShadow();
    layer.setAlphaF(layer.alphaF() / shadowLayers * 1.6f);
    painter.setBrush(layer);
    const QRectF base(QPointF(reach, reach), card);
    for (int i = 0; i < shadowLayers; ++i) {
        const double grow = reach * (1.0 - double(i) / shadowLayers);
        painter.drawRoundedRect(base.adjusted(-grow, -grow, grow, grow), radius + grow, radius + grow);
    }
    shadowCard_ = card;
    shadowRatio_ = pixelRatio;
    return shadow_;
}

void HUDContent::paintEvent(QPaintEvent*)
{
    if (!state_.desktop() && !state_.toast())
        return;
    const Metrics m = metrics();
    const Layout laid = layout(width() - 2 * outerPadding);
    const QRectF card((width() - laid.card.width()) / 2, (height() - laid.card.height()) / 2, laid.card.width(),
                      laid.card.height());
    const double shown = measuring_ ? 1.0 : state_.shownAmount();
    const double opacity = std::clamp(shown, 0.0, 1.0);
    if (opacity <= 0)
        return;

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(opacity);
    // Hidden: lower and smaller, growing about the card's centre.
    const double cardScale = hiddenScale + (1 - hiddenScale) * shown;
    painter.translate(card.center() + QPointF(0, hiddenDrop * m.scale * (1 - shown)));
    painter.scale(cardScale, cardScale);
    painter.translate(-card.center());

    const double reach = shadowRadius * 0.6;
    painter.drawImage(QRectF(card.topLeft() + QPointF(-reach, shadowOffset - reach),
                             card.size() + QSizeF(2 * reach, 2 * reach)),
                      shadow(card.size(), m.radius, painter.device()->devicePixelRatioF()));

    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::tagFill());
    painter.drawRoundedRect(card, m.radius, m.radius);
    QPen border(Theme::tagBorder(), borderWidth);
    border.setMiterLimit(10);
    painter.setPen(border);
    painter.setBrush(Qt::NoBrush);
    const double inset = borderWidth / 2;
    painter.drawRoundedRect(card.adjusted(inset, inset, -inset, -inset), m.radius - inset, m.radius - inset);

    const double contentHeight = card.height() - 2 * m.paddingY;
    const double left = card.left() + m.paddingX;
    const double middle = card.top() + m.paddingY + contentHeight / 2;
    const QRectF leading(left, middle - laid.leadingSide / 2, laid.leadingSide, laid.leadingSide);
    const double textLeft = leading.right() + m.spacing;
    double textTop = middle - laid.textHeight / 2;

    if (const auto& desktop = state_.desktop()) {
        if (const GlyphImagePtr tile = Glyph::image(*desktop, std::nullopt, false, m.tileSide))
            tile->draw(painter, leading);
        const QFontMetricsF nameMetrics(m.nameFont);
        painter.setFont(m.nameFont);
        painter.setPen(Theme::text());
        painter.drawText(QPointF(textLeft, textTop + nameMetrics.ascent()), laid.lines.name);
        textTop += nameMetrics.height() + lineSpacing;
        if (laid.lines.number) {
            painter.setFont(m.numberFont);
            painter.setPen(Theme::textSecondary());
            painter.drawText(QPointF(textLeft, textTop + QFontMetricsF(m.numberFont).ascent()), *laid.lines.number);
        }
    } else if (const auto& toast = state_.toast()) {
        if (const GlyphImagePtr symbol = Glyph::symbolImage(toast->symbol, m.symbolSize, Theme::amber()))
            symbol->drawFitted(painter, leading);
        const QFontMetricsF metrics(m.toastFont);
        painter.setFont(m.toastFont);
        painter.setPen(Theme::text());
        for (const QString& line : laid.lines.toast) {
            // Each line centred in the text column.
            const double x = textLeft + (laid.textWidth - metrics.horizontalAdvance(line)) / 2;
            painter.drawText(QPointF(x, textTop + metrics.ascent()), line);
            textTop += metrics.lineSpacing();
        }
    }
}
