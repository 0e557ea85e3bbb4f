#include "settings/StepRow.h"

#include "settings/SettingsWidgets.h"
#include "ui/Glyph.h"
#include "ui/KitShapes.h"
#include "ui/KitText.h"
#include "ui/Theme.h"
#include "ui/TintPalette.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {

constexpr int padding = 12;
constexpr int badgeSize = 24;
constexpr double radius = 10;

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

} // namespace

StepRow::StepRow(int number, const QString& title, QWidget* parent)
    : QWidget(parent)
    , number_(number)
{
    setObjectName(QStringLiteral("step%1").arg(number));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(padding, padding, padding, padding);
    // The badge is painted; Qt puts no spacing next to a spacer, so the gap is in it.
    row->setSpacing(0);
    row->addSpacing(badgeSize + 12);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    title_ = SettingsWidgets::label(title, Theme::font(13, QFont::DemiBold), Theme::text());
    detail_ = SettingsWidgets::label({}, Theme::font(12), Theme::textSecondary(), SettingsWidgets::Wrap::wrapping);
    texts->addWidget(title_);
    texts->addWidget(detail_);
    row->addLayout(texts, 1);
    row->setAlignment(Qt::AlignTop);
}

QString StepRow::title() const
{
    return title_->text();
}

QString StepRow::detail() const
{
    return detail_->text();
}

void StepRow::setState(const QString& detail, bool done, bool highlighted)
{
    detail_->setText(detail);
    done_ = done;
    highlighted_ = highlighted;
    update();
}

void StepRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    KitShapes::fill(painter, KitShapes::roundedRect(bounds, radius),
                    highlighted_ ? withAlpha(Theme::amber(), 0.1) : Theme::raised());
    KitShapes::strokeBorder(painter, bounds, radius, highlighted_ ? withAlpha(Theme::amber(), 0.45) : Theme::hairline());

    const QRectF badge(padding, padding, badgeSize, badgeSize);
    painter.setPen(Qt::NoPen);
    painter.setBrush(done_ ? Theme::mint() : TintPalette::blue().color);
    painter.drawEllipse(badge);
    if (done_) {
        if (const GlyphImagePtr check = Glyph::symbolImage(QStringLiteral("checkmark"), 11, Theme::onBadge(), QFont::Bold)) {
            const QSizeF size = check->size();
            check->draw(painter, QRectF(badge.center() - QPointF(size.width() / 2, size.height() / 2), size));
        }
    } else {
        KitText::drawCentred(painter, QString::number(number_), Theme::font(12, QFont::Bold), Theme::onBadge(),
                             badge.center());
    }
}
