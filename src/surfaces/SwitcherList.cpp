#include "surfaces/SwitcherList.h"

#include "surfaces/SwitcherModel.h"
#include "surfaces/SwitcherRow.h"
#include "ui/KitShapes.h"
#include "ui/Theme.h"
#include "ui/ViewEnvironment.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {
constexpr int stackSideMargin = 8;
constexpr int stackTopMargin = 6;
constexpr double footerSideMargin = 16;
constexpr double hintSpacing = 14;
constexpr double hintInnerSpacing = 4;
// How far above the footer its clip reaches: beyond any card corner.
constexpr double bandReach = 1000;

QFont hintKeyFont() { return Theme::displayFont(10.5, QFont::DemiBold); }
QFont hintLabelFont() { return Theme::font(10.5); }

} // namespace

// The key hints along the bottom; the last one sits at the trailing edge. Its
// band takes the shape of the card's bottom corners.
class SwitcherList::Footer : public QWidget {
public:
    explicit Footer(QWidget* parent)
        : QWidget(parent)
    {
        setObjectName(QStringLiteral("switcherFooter"));
        setFixedHeight(int(SwitcherList::footerHeight));
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

    void setCorners(double radius, double border)
    {
        radius_ = radius;
        border_ = border;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        // The card's shape inside its border, reaching far enough up that
        // only its bottom corners fall on the band.
        const QRectF inside = QRectF(0, -bandReach, width(), height() + bandReach)
                                  .adjusted(border_, 0, -border_, -border_);
        KitShapes::fill(painter, KitShapes::roundedRect(inside, std::max(0.0, radius_ - border_)),
                        Theme::switcherFooter());
        const auto& hints = SwitcherList::footerHints();
        const auto widthOf = [](const std::pair<QString, QString>& hint) {
            return QFontMetricsF(hintKeyFont()).horizontalAdvance(hint.first) + hintInnerSpacing
                + QFontMetricsF(hintLabelFont()).horizontalAdvance(hint.second);
        };
        double x = footerSideMargin;
        for (qsizetype i = 0; i < hints.size(); ++i) {
            if (i == hints.size() - 1)
                x = width() - footerSideMargin - widthOf(hints[i]);
            drawHint(painter, hints[i], x);
            x += widthOf(hints[i]) + hintSpacing;
        }
    }

private:
    void drawHint(QPainter& painter, const std::pair<QString, QString>& hint, double x)
    {
        const QRectF line(x, 0, width(), height());
        painter.setFont(hintKeyFont());
        painter.setPen(Theme::textSecondary());
        painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, hint.first);
        const double labelX = x + QFontMetricsF(hintKeyFont()).horizontalAdvance(hint.first) + hintInnerSpacing;
        painter.setFont(hintLabelFont());
        painter.setPen(Theme::textTertiary());
        painter.drawText(QRectF(labelX, 0, width(), height()), Qt::AlignLeft | Qt::AlignVCenter, hint.second);
    }

    double radius_ = 0;
    double border_ = 0;
};

SwitcherList::SwitcherList(SwitcherModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
{
    setObjectName(QStringLiteral("switcherList"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    content_ = new QWidget(this);
    contentLayout_ = new QVBoxLayout(content_);
    contentLayout_->setContentsMargins(0, 0, 0, 0);
    contentLayout_->setSpacing(0);
    layout->addWidget(content_, 1);
    footer_ = new Footer(this);
    layout->addWidget(footer_);
    connect(&model_, &SwitcherModel::rowsChanged, this, &SwitcherList::rebuild);
    connect(&model_, &SwitcherModel::selectionChanged, this, &SwitcherList::selectionChanged);
    rebuild();
}

void SwitcherList::setCardCorners(double radius, double border)
{
    footer_->setCorners(radius, border);
}

const QList<std::pair<QString, QString>>& SwitcherList::footerHints()
{
    static const QList<std::pair<QString, QString>> hints{
        {QStringLiteral("↑↓"), QStringLiteral("navigate")},
        {QStringLiteral("↩"), QStringLiteral("switch")},
        {QStringLiteral("1–9"), QStringLiteral("jump")},
        {QStringLiteral("⇥"), QStringLiteral("last space")},
        {QStringLiteral("esc"), QStringLiteral("close")},
    };
    return hints;
}

QList<SwitcherRow*> SwitcherList::rows() const
{
    QList<SwitcherRow*> shown;
    for (const auto& row : rows_) {
        if (row)
            shown.append(row);
    }
    return shown;
}

bool SwitcherList::event(QEvent* event)
{
    if (event->type() == ViewEnvironment::changeEvent())
        rebuild();
    return QWidget::event(event);
}

void SwitcherList::rebuild()
{
    // The old rows go at once: a keystroke rebuilds them all.
    delete stack_;
    delete scroll_;
    delete empty_;
    rows_.clear();
    selected_ = -1;
    const QList<Desktop>& desktops = model_.rows();
    if (desktops.isEmpty()) {
        empty_ = new QLabel(QStringLiteral("No matching space"), content_);
        empty_->setObjectName(QStringLiteral("emptyLabel"));
        empty_->setAlignment(Qt::AlignCenter);
        empty_->setMinimumHeight(int(emptyHeight));
        QPalette palette = empty_->palette();
        palette.setColor(QPalette::WindowText, Theme::textSecondary());
        empty_->setPalette(palette);
        empty_->setFont(Theme::font(13));
        contentLayout_->addWidget(empty_);
        // A layout shows new children only on a later turn of the loop.
        empty_->show();
        return;
    }

    auto* stack = new QWidget;
    stack->setObjectName(QStringLiteral("rowStack"));
    auto* rowsLayout = new QVBoxLayout(stack);
    rowsLayout->setContentsMargins(stackSideMargin, stackTopMargin, stackSideMargin, 0);
    rowsLayout->setSpacing(int(rowSpacing));
    rows_.reserve(desktops.size());
    for (int i = 0; i < desktops.size(); ++i) {
        auto* row = new SwitcherRow(model_, i, desktops[i], stack);
        rowsLayout->addWidget(row);
        rows_.append(row);
    }
    rowsLayout->addStretch(1);
    stack_ = stack;

    if (ViewEnvironment::rendersFlat(this)) {
        stack->setParent(content_);
        contentLayout_->addWidget(stack);
        stack->show();
    } else {
        auto* scroll = new QScrollArea(content_);
        scroll->setObjectName(QStringLiteral("rowScroll"));
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll->setWidgetResizable(true);
        scroll->setAutoFillBackground(false);
        scroll->viewport()->setAutoFillBackground(false);
        scroll->setWidget(stack);
        // The scroll area fills what it hosts; the rows lie on the card.
        stack->setAutoFillBackground(false);
        scroll_ = scroll;
        contentLayout_->addWidget(scroll);
        scroll->show();
    }
    selectionChanged();
}

void SwitcherList::selectionChanged()
{
    const int selection = model_.selection();
    if (selected_ >= 0 && selected_ < rows_.size() && rows_[selected_])
        rows_[selected_]->update();
    selected_ = selection;
    if (selection < 0 || selection >= rows_.size() || !rows_[selection])
        return;
    SwitcherRow* row = rows_[selection];
    row->update();
    if (scroll_) {
        // The stack must have its final size before a row can be scrolled to.
        if (QLayout* layout = scroll_->widget()->layout())
            layout->activate();
        scroll_->ensureWidgetVisible(row, 0, 0);
    }
}
