#include "menubar/SpaceStripView.h"

#include "platform/OneLineText.h"
#include "ui/KitFocus.h"
#include "ui/SpaceGlyph.h"
#include "ui/Theme.h"
#include "ui/Transition.h"

#include <QAbstractButton>
#include <QEnterEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

// One tile of the strip: the desktop's swatch with its icon or number.
class StripTile : public QAbstractButton {
public:
    StripTile(const Desktop& desktop, bool isCurrent, QWidget* parent)
        : QAbstractButton(parent)
        , hover_(0, [this] { update(); })
    {
        setObjectName(QStringLiteral("stripTile"));
        set(desktop, isCurrent);
    }

    void set(const Desktop& desktop, bool isCurrent)
    {
        const bool becameCurrent = !glyph_ || isCurrent != isCurrent_;
        desktop_ = desktop;
        isCurrent_ = isCurrent;
        setToolTip(platform::OneLineText::shown(desktop.displayName()));
        if (becameCurrent) {
            // The glyph's opacity is fixed when it is made.
            delete glyph_;
            glyph_ = new SpaceGlyph(desktop, SpaceStripView::glyphSize, isCurrent ? 1.0 : 0.9, this);
            glyph_->setAttribute(Qt::WA_TransparentForMouseEvents);
            glyph_->show();
        } else {
            glyph_->setDesktop(desktop);
        }
        // A new icon has another size than the number it replaces.
        placeGlyph();
        if (isCurrent)
            hover_.jumpTo(0);
        update();
    }

    const Desktop& desktop() const { return desktop_; }
    bool isCurrent() const { return isCurrent_; }
    bool hovering() const { return hovering_; }

    // Hover only counts on tiles of other desktops.
    double hoverAmount() const { return isCurrent_ ? 0 : hover_.value(); }
    double opacity() const { return isCurrent_ ? 1.0 : 0.55 + (0.85 - 0.55) * hoverAmount(); }
    double scale() const { return 1.0 + (SpaceStripView::hoverScale - 1.0) * hoverAmount(); }

    // The tile's exact rectangle in strip coordinates. The widget takes whole
    // pixels around it, with a margin for the hovered scale; the tile paints
    // the exact rectangle inside, so tiles share the width exactly.
    void setTileRect(const QRectF& exact)
    {
        const QRect whole(QPoint(int(std::floor(exact.left())) - margin, int(std::floor(exact.top())) - margin),
                          QPoint(int(std::ceil(exact.right())) + margin - 1,
                                 int(std::ceil(exact.bottom())) + margin - 1));
        tile_ = exact.translated(-QPointF(whole.topLeft()));
        setGeometry(whole);
        placeGlyph();
        update();
    }
    QRectF tileRect() const { return tile_; }

    void setHovering(bool hovering)
    {
        if (hovering == hovering_)
            return;
        hovering_ = hovering;
        hover_.animateTo(hovering ? 1 : 0, SpaceStripView::hoverDuration);
    }

protected:
    void enterEvent(QEnterEvent*) override { setHovering(true); }
    void leaveEvent(QEvent*) override { setHovering(false); }

    bool hitButton(const QPoint& pos) const override { return tile_.contains(pos); }

    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF bounds = tile_;
        painter.translate(bounds.center());
        painter.scale(scale(), scale());
        painter.translate(-bounds.center());
        QPainterPath shape;
        shape.addRoundedRect(bounds, SpaceStripView::cornerRadius, SpaceStripView::cornerRadius);
        QColor swatch = desktop_.swatchColor();
        swatch.setAlphaF(float(swatch.alphaF() * opacity()));
        painter.fillPath(shape, swatch);
        if (isCurrent_) {
            const double line = 1.5;
            QPainterPath inner;
            inner.addRoundedRect(bounds.adjusted(line / 2, line / 2, -line / 2, -line / 2),
                                 SpaceStripView::cornerRadius - line / 2, SpaceStripView::cornerRadius - line / 2);
            QColor white(Qt::white);
            white.setAlphaF(0.9f);
            painter.strokePath(inner, QPen(white, line));
        }
        if (KitFocus::showsRing(*this))
            KitFocus::paintRing(painter, bounds, SpaceStripView::cornerRadius, Theme::focusRingOnAccent());
    }

private:
    // Room around the tile for its hovered scale, in points.
    static constexpr int margin = 1;

    void placeGlyph()
    {
        if (!glyph_)
            return;
        const QSize hint = glyph_->sizeHint();
        const QPointF centre = tile_.center();
        glyph_->setGeometry(QRect(QPoint(int(std::lround(centre.x() - hint.width() / 2.0)),
                                         int(std::lround(centre.y() - hint.height() / 2.0))),
                                  hint));
    }

    Desktop desktop_;
    QRectF tile_;
    bool isCurrent_ = false;
    bool hovering_ = false;
    SpaceGlyph* glyph_ = nullptr;
    Transition hover_;
};

SpaceStripView::SpaceStripView(const QList<Desktop>& desktops, const std::optional<Desktop>& current,
                               std::function<void(const Desktop&)> onSelect, QWidget* parent)
    : QWidget(parent)
    , onSelect_(std::move(onSelect))
{
    setObjectName(QStringLiteral("spaceStrip"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setDesktops(desktops, current);
}

SpaceStripView::~SpaceStripView() = default;

void SpaceStripView::setDesktops(const QList<Desktop>& desktops, const std::optional<Desktop>& current)
{
    while (tiles_.size() > desktops.size())
        delete tiles_.takeLast();
    for (qsizetype i = 0; i < desktops.size(); ++i) {
        const bool isCurrent = current && current->id() == desktops[i].id();
        if (i < tiles_.size()) {
            tiles_[i]->set(desktops[i], isCurrent);
            continue;
        }
        auto* made = new StripTile(desktops[i], isCurrent, this);
        connect(made, &QAbstractButton::clicked, this, [this, made] {
            if (onSelect_)
                onSelect_(made->desktop());
        });
        made->show();
        tiles_.append(made);
    }
    place();
}

QRectF SpaceStripView::tileRect(qsizetype index) const
{
    const qsizetype count = tiles_.size();
    if (index < 0 || index >= count)
        return {};
    const double tileWidth = (width() - (count - 1) * spacing) / double(count);
    const double height = tiles_[index]->isCurrent() ? currentHeight : otherHeight;
    return QRectF(index * (tileWidth + spacing), (currentHeight - height) / 2, tileWidth, height);
}

QWidget* SpaceStripView::tile(qsizetype index) const
{
    return index >= 0 && index < tiles_.size() ? tiles_[index] : nullptr;
}

double SpaceStripView::tileOpacity(qsizetype index) const
{
    return index >= 0 && index < tiles_.size() ? tiles_[index]->opacity() : 0;
}

double SpaceStripView::tileScale(qsizetype index) const
{
    return index >= 0 && index < tiles_.size() ? tiles_[index]->scale() : 0;
}

QSize SpaceStripView::sizeHint() const
{
    return {0, int(currentHeight)};
}

QSize SpaceStripView::minimumSizeHint() const
{
    return {0, int(currentHeight)};
}

void SpaceStripView::resizeEvent(QResizeEvent*)
{
    place();
}

void SpaceStripView::place()
{
    for (qsizetype i = 0; i < tiles_.size(); ++i)
        tiles_[i]->setTileRect(tileRect(i));
}
