#include "debug/SwitcherRender.h"

#include "surfaces/SwitcherList.h"
#include "surfaces/SwitcherModel.h"
#include "ui/Glyph.h"
#include "ui/KitShapes.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

QLabel* textLabel(const QString& text, const QColor& color, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(Theme::font(SwitcherRender::queryFontSize));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

} // namespace

SwitcherRender::SwitcherRender(SwitcherModel& model, const QString& query, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , query_(query)
{
    setObjectName(QStringLiteral("switcherRender"));
    setAttribute(Qt::WA_TranslucentBackground);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    searchRow_ = new QWidget(this);
    searchRow_->setObjectName(QStringLiteral("searchField"));
    searchRow_->setFixedHeight(int(searchRowHeight));
    auto* row = new QHBoxLayout(searchRow_);
    row->setContentsMargins(int(searchLeading), 0, 0, 0);
    row->setSpacing(int(searchSpacing));
    auto* icon = new QLabel(searchRow_);
    icon->setObjectName(QStringLiteral("searchIcon"));
    icon->setFixedSize(int(iconSide), int(iconSide));
    icon->setAlignment(Qt::AlignCenter);
    if (const GlyphImagePtr glyph = Glyph::symbolImage(QStringLiteral("magnifyingglass"), iconPointSize,
                                                       Theme::switcherSearchIcon(), QFont::Medium)) {
        icon->setPixmap(QPixmap::fromImage(glyph->render(2)));
    }
    row->addWidget(icon, 0, Qt::AlignVCenter);
    queryText_ = query.isEmpty() ? textLabel(QStringLiteral("Jump to a space…"), Theme::switcherPlaceholder(), searchRow_)
                                 : textLabel(query, Theme::switcherFieldText(), searchRow_);
    queryText_->setObjectName(QStringLiteral("queryText"));
    row->addWidget(queryText_, 0, Qt::AlignVCenter);
    row->addStretch(1);
    column->addWidget(searchRow_);

    auto* divider = new QWidget(this);
    divider->setObjectName(QStringLiteral("searchDivider"));
    divider->setFixedHeight(1);
    divider->setAutoFillBackground(true);
    QPalette dividerPalette = divider->palette();
    dividerPalette.setColor(QPalette::Window, Theme::switcherDivider());
    divider->setPalette(dividerPalette);
    column->addWidget(divider);

    list_ = new SwitcherList(model_, this);
    list_->setObjectName(QStringLiteral("switcherList"));
    list_->setCardCorners(cornerRadius, 1);
    column->addWidget(list_, 0, Qt::AlignTop);
    column->addStretch(1);

    setFixedWidth(int(cardWidth));
    fitList();
    connect(&model_, &SwitcherModel::rowsChanged, this, &SwitcherRender::fitList);
}

double SwitcherRender::listHeight(qsizetype rows)
{
    return rowHeight * double(std::clamp<qsizetype>(rows, 1, maxRows)) + listExtra;
}

void SwitcherRender::fitList()
{
    const int height = int(listHeight(model_.rows().size()));
    list_->setFixedHeight(height);
    setFixedHeight(int(searchRowHeight) + 1 + height);
}

void SwitcherRender::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing);
    const QRectF bounds = rect();
    const QPainterPath card = KitShapes::roundedRect(bounds, cornerRadius);
    KitShapes::fill(painter, card, Theme::switcherCard());
    KitShapes::strokeBorder(painter, bounds, cornerRadius, Theme::switcherBorder());
}
