#include "surfaces/SwitcherRow.h"

#include "store/KeyNames.h"
#include "surfaces/SwitcherModel.h"
#include "ui/AppIconsRow.h"
#include "ui/Glyph.h"
#include "ui/KeyCap.h"
#include "ui/KitShapes.h"
#include "ui/Theme.h"
#include "ui/TintPalette.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
constexpr double padding = 10;
constexpr double spacing = 12;
constexpr double glyphSize = 26;
constexpr double cornerRadius = 10;
constexpr double capsulePaddingX = 7;
constexpr double capsulePaddingY = 3;
constexpr double chipIconSize = 13;
constexpr double chipSpacing = 5;
constexpr int appIconLimit = 8;
constexpr double appIconSize = 14;

QFont titleFont() { return Theme::font(14, QFont::Medium); }
QFont numberFont() { return Theme::font(11); }
QFont capsuleFont() { return Theme::font(10.5, QFont::DemiBold); }
QFont returnFont() { return Theme::font(11, QFont::DemiBold); }

double textWidth(const QString& text, const QFont& font)
{
    return std::ceil(QFontMetricsF(font).horizontalAdvance(text));
}

double lineHeight(const QFont& font)
{
    return std::ceil(QFontMetricsF(font).height());
}

QSizeF capsuleSize(const QString& text, double leading)
{
    return {leading + textWidth(text, capsuleFont()) + 2 * capsulePaddingX,
            lineHeight(capsuleFont()) + 2 * capsulePaddingY};
}
} // namespace

SwitcherRow::SwitcherRow(SwitcherModel& model, int index, const Desktop& desktop, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , index_(index)
    , desktop_(desktop)
    , opening_(model.openingApp(desktop))
{
    setObjectName(QStringLiteral("switcherRow"));
    setFixedHeight(int(height));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    const QList<SpaceApp> apps = model.apps(desktop.id());
    if (!apps.isEmpty()) {
        appIcons_ = new AppIconsRow(apps, appIconSize, false, {}, appIconLimit, this);
        appIcons_->setObjectName(QStringLiteral("rowAppIcons"));
    }
    if (model.query().isEmpty()) {
        if (const auto digit = KeyNames::digitName(desktop.number)) {
            keyCap_ = new KeyCap(*digit, 11, this);
            keyCap_->setObjectName(QStringLiteral("rowKeyCap"));
        }
    }
    placeChildren();
}

bool SwitcherRow::isSelected() const
{
    return model_.selection() == index_;
}

QString SwitcherRow::title() const
{
    return desktop_.displayName();
}

QString SwitcherRow::numberLine() const
{
    if (appIcons_ || !desktop_.hasName())
        return {};
    return QStringLiteral("Desktop ") + QString::number(desktop_.number);
}

QString SwitcherRow::chipText() const
{
    return opening_ ? QStringLiteral("Opens ") + opening_->name : QString();
}

QString SwitcherRow::tagText() const
{
    if (model_.currentID() == desktop_.id())
        return QStringLiteral("Current");
    if (model_.lastID() == desktop_.id())
        return QStringLiteral("Last");
    return {};
}

QSize SwitcherRow::sizeHint() const
{
    return {400, int(height)};
}

SwitcherRow::Geometry SwitcherRow::geometry() const
{
    Geometry g;
    const double mid = height / 2;
    g.glyph = QRectF(padding, mid - glyphSize / 2, glyphSize, glyphSize);

    // Trailing items, laid from the right edge inwards.
    double right = width() - padding;
    const double returnWidth = lineHeight(returnFont());
    g.returnMark = QRectF(right - returnWidth, mid - returnWidth / 2, returnWidth, returnWidth);
    right = g.returnMark.left() - spacing;
    if (keyCap_) {
        const QSize size = keyCap_->sizeHint();
        g.keyCap = QRectF(right - size.width(), mid - size.height() / 2.0, size.width(), size.height());
        right = g.keyCap.left() - spacing;
    }
    if (const QString tag = tagText(); !tag.isEmpty()) {
        const QSizeF size = capsuleSize(tag, 0);
        g.tag = QRectF(QPointF(right - size.width(), mid - size.height() / 2), size);
        right = g.tag.left() - spacing;
    }
    if (opening_) {
        const double icon = opening_->icon.isNull() ? 0 : chipIconSize + chipSpacing;
        const QSizeF size = capsuleSize(chipText(), icon);
        g.chip = QRectF(QPointF(right - size.width(), mid - size.height() / 2), size);
        right = g.chip.left() - spacing;
    }

    const double left = g.glyph.right() + spacing;
    const double textWidthLeft = std::max(0.0, right - left);
    const double titleHeight = lineHeight(titleFont());
    double belowHeight = 0;
    if (appIcons_)
        belowHeight = appIcons_->sizeHint().height() - 2 * appIcons_->overhang();
    else if (!numberLine().isEmpty())
        belowHeight = lineHeight(numberFont());
    const double stack = titleHeight + (belowHeight > 0 ? 2 + belowHeight : 0);
    const double top = mid - stack / 2;
    g.title = QRectF(left, top, textWidthLeft, titleHeight);
    g.below = QRectF(left, top + titleHeight + 2, textWidthLeft, belowHeight);
    return g;
}

void SwitcherRow::placeChildren()
{
    const Geometry g = geometry();
    if (appIcons_) {
        const int overhang = appIcons_->overhang();
        const QSize size = appIcons_->sizeHint();
        appIcons_->setGeometry(int(std::lround(g.below.left())) - overhang, int(std::lround(g.below.top())) - overhang,
                               size.width(), size.height());
    }
    if (keyCap_)
        keyCap_->setGeometry(g.keyCap.toAlignedRect());
}

void SwitcherRow::resizeEvent(QResizeEvent*)
{
    placeChildren();
}

void SwitcherRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    const bool selected = isSelected();
    const QRectF bounds = rect();
    if (selected) {
        KitShapes::fill(painter, KitShapes::roundedRect(bounds, cornerRadius), Theme::fill());
        KitShapes::strokeBorder(painter, bounds, cornerRadius, Theme::stroke());
    }
    const Geometry g = geometry();
    if (const GlyphImagePtr tile = Glyph::image(desktop_, std::nullopt, false, glyphSize))
        tile->draw(painter, g.glyph);

    painter.setPen(Theme::text());
    painter.setFont(titleFont());
    const QString title = QFontMetricsF(titleFont()).elidedText(this->title(), Qt::ElideRight, g.title.width());
    painter.drawText(g.title, Qt::AlignLeft | Qt::AlignVCenter, title);
    if (const QString number = numberLine(); !number.isEmpty()) {
        painter.setPen(Theme::textTertiary());
        painter.setFont(numberFont());
        painter.drawText(g.below, Qt::AlignLeft | Qt::AlignVCenter, number);
    }

    if (opening_) {
        KitShapes::fill(painter, KitShapes::capsule(g.chip), TintPalette::blue().soft);
        double x = g.chip.left() + capsulePaddingX;
        if (!opening_->icon.isNull()) {
            painter.drawImage(QRectF(x, g.chip.center().y() - chipIconSize / 2, chipIconSize, chipIconSize),
                              opening_->icon);
            x += chipIconSize + chipSpacing;
        }
        painter.setPen(Theme::textSecondary());
        painter.setFont(capsuleFont());
        painter.drawText(QRectF(x, g.chip.top(), g.chip.right() - x, g.chip.height()), Qt::AlignLeft | Qt::AlignVCenter,
                         chipText());
    }
    if (const QString tag = tagText(); !tag.isEmpty()) {
        KitShapes::fill(painter, KitShapes::capsule(g.tag), Theme::fill());
        painter.setPen(Theme::textSecondary());
        painter.setFont(capsuleFont());
        painter.drawText(g.tag, Qt::AlignCenter, tag);
    }
    // Drawn on every row, seen only on the selected one, so rows never shift.
    if (selected) {
        if (const GlyphImagePtr mark = Glyph::symbolImage(QStringLiteral("return"), 11, Theme::textSecondary()))
            mark->draw(painter, g.returnMark);
    }
}

void SwitcherRow::enterEvent(QEnterEvent*)
{
    if (model_.hoverAllowed && !model_.hoverAllowed())
        return;
    if (model_.selection() != index_)
        model_.setSelection(index_);
}

void SwitcherRow::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton;
}

void SwitcherRow::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    if (!click || !model_.onActivate)
        return;
    // Activating closes the panel and may rebuild the list under this row.
    const Desktop desktop = desktop_;
    const auto activate = model_.onActivate;
    activate(desktop);
}
